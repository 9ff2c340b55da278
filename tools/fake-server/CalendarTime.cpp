#include "CalendarTime.h"

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

constexpr Millis kMinute = 60'000;

std::optional<Millis> FromFields(int year, int month, int day, int hour, int minute, int second,
                                 int offsetMinutes) {
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return static_cast<Millis>(timegm(&fields)) * 1000 - offsetMinutes * kMinute;
}

std::string Format(Millis when, int offsetMinutes, const char* format) {
    // Floor division, so times before 1970 do not land a second late.
    const Millis shifted = when + offsetMinutes * kMinute;
    const std::time_t seconds =
        static_cast<std::time_t>(shifted / 1000 - (shifted % 1000 < 0 ? 1 : 0));
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    char text[32];
    std::strftime(text, sizeof text, format, &fields);
    return text;
}

Millis Number(const json& object, const char* key) {
    return object.contains(key) ? object[key].get<Millis>() : 0;
}

}  // namespace

Millis NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<Millis> ParseIsoTime(const std::string& text, int offsetMinutes) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3) {
        return std::nullopt;
    }
    std::string rest = text.substr(static_cast<std::size_t>(used));
    if (!rest.empty() && rest[0] == 'T') {
        if (std::sscanf(rest.c_str(), "T%2d:%2d%n", &hour, &minute, &used) != 2)
            return std::nullopt;
        rest = rest.substr(static_cast<std::size_t>(used));
        if (!rest.empty() && rest[0] == ':') {
            if (std::sscanf(rest.c_str(), ":%2d%n", &second, &used) != 1) return std::nullopt;
            rest = rest.substr(static_cast<std::size_t>(used));
        }
    }
    if (rest == "Z") {
        offsetMinutes = 0;
    } else if (!rest.empty()) {
        char sign = 0;
        int hours = 0, minutes = 0;
        if (std::sscanf(rest.c_str(), "%c%2d:%2d%n", &sign, &hours, &minutes, &used) != 3 ||
            static_cast<std::size_t>(used) != rest.size() || (sign != '+' && sign != '-')) {
            return std::nullopt;
        }
        offsetMinutes = (sign == '-' ? -1 : 1) * (hours * 60 + minutes);
    }
    return FromFields(year, month, day, hour, minute, second, offsetMinutes);
}

std::string CompactTime(Millis when, int offsetMinutes) {
    return Format(when, offsetMinutes, "%Y%m%dT%H%M%S");
}

std::string CompactUtcTime(Millis when) {
    return Format(when, 0, "%Y%m%dT%H%M%SZ");
}

std::string CompactDate(Millis when, int offsetMinutes) {
    return Format(when, offsetMinutes, "%Y%m%d");
}

std::optional<Millis> ParseCompactTime(const std::string& text, int offsetMinutes) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d%2d%2dT%2d%2d%2d%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6) {
        return std::nullopt;
    }
    const std::string zone = text.substr(static_cast<std::size_t>(used));
    if (zone != "" && zone != "Z") return std::nullopt;
    return FromFields(year, month, day, hour, minute, second, zone == "Z" ? 0 : offsetMinutes);
}

std::vector<Instance> Instances(const json& appointment) {
    const Millis start = Number(appointment, "start");
    const Millis duration = Number(appointment, "durationMs");
    Millis count = 1, every = 0;
    if (appointment.contains("repeat")) {
        count = Number(appointment["repeat"], "count");
        every = Number(appointment["repeat"], "everyMinutes") * kMinute;
    }
    // Occurrences taken out one by one are remembered by their start.
    std::vector<Millis> cancelled;
    if (appointment.contains("cancelled") && appointment["cancelled"].is_array()) {
        for (const json& when : appointment["cancelled"]) {
            if (when.is_number_integer()) cancelled.push_back(when.get<Millis>());
        }
    }
    std::vector<Instance> instances;
    for (Millis i = 0; i < count; ++i) {
        const Millis begin = start + i * every;
        if (std::find(cancelled.begin(), cancelled.end(), begin) != cancelled.end()) continue;
        instances.push_back({begin, begin + duration});
    }
    return instances;
}

Instance CurrentInstance(const json& appointment, Millis now) {
    const std::vector<Instance> instances = Instances(appointment);
    for (const Instance& instance : instances) {
        if (instance.end > now) return instance;
    }
    return instances.empty() ? Instance{} : instances.back();
}

std::optional<Millis> AlarmTime(const json& appointment, const Instance& instance) {
    if (!appointment.contains("alarm")) return std::nullopt;
    const json& alarm = appointment["alarm"];
    if (alarm.contains("abs")) {
        return ParseCompactTime(alarm["abs"].get<std::string>(),
                                static_cast<int>(Number(appointment, "tzOffsetMinutes")));
    }
    const json& rel = alarm["rel"];
    const bool fromEnd = rel.value("related", "START") == "END";
    const Millis sign = rel.value("neg", false) ? -1 : 1;
    const Millis base = fromEnd ? instance.end : instance.start;
    // A trigger in weeks takes no other unit; days, hours, minutes and seconds add up.
    if (rel.contains("w")) return base + sign * Number(rel, "w") * 7 * 24 * 60 * kMinute;
    return base + sign * (Number(rel, "d") * 24 * 60 * kMinute + Number(rel, "h") * 60 * kMinute +
                          Number(rel, "m") * kMinute + Number(rel, "s") * 1000);
}

}  // namespace tovela::fakeserver

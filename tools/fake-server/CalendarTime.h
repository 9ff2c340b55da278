#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tovela::fakeserver {

using Millis = long long;  // milliseconds since 1970-01-01 00:00 UTC, as the client reads them

Millis NowMs();

// "2024-05-01T10:30:00Z", "2024-05-01T10:30+09:00", "2024-05-01T10:30:00" or "2024-05-01".
// A text without a zone is read at `offsetMinutes` east of UTC.
std::optional<Millis> ParseIsoTime(const std::string& text, int offsetMinutes);

// "yyyymmddThhmmss" and "yyyymmdd" as seen at `offsetMinutes` east of UTC; UTC ones end in "Z".
std::string CompactTime(Millis when, int offsetMinutes);
std::string CompactUtcTime(Millis when);
std::string CompactDate(Millis when, int offsetMinutes);

// Reads "yyyymmddThhmmss[Z]"; a text without "Z" is read at `offsetMinutes` east of UTC.
std::optional<Millis> ParseCompactTime(const std::string& text, int offsetMinutes);

struct Instance {
    Millis start = 0;
    Millis end = 0;
};

// The occurrences of a scenario appointment: one, or `repeat.count` of them.
std::vector<Instance> Instances(const nlohmann::json& appointment);

// The occurrence a reminder is about: the first that has not ended, else the last.
Instance CurrentInstance(const nlohmann::json& appointment, Millis now);

// When the appointment's own alarm rings for `instance`; empty without an alarm.
std::optional<Millis> AlarmTime(const nlohmann::json& appointment, const Instance& instance);

}  // namespace tovela::fakeserver

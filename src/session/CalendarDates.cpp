#include "session/CalendarDates.h"

#include <cmath>
#include <cstddef>

#include "app/LocalTime.h"
#include "session/LeadingNumber.h"
#include "session/RegEx.h"

namespace tovela {
namespace {

constexpr double kCountLimit = 1e12;

// Reads "yyyy-mm-dd hh:mm:ss" exactly, the shape the replacements below produce. A date
// that does not exist (2024-02-30, 25:00:00) is refused rather than rolled over.
std::optional<std::int64_t> ReadIsoText(const std::string& text) {
    static constexpr char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != sizeof kShape - 1) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    const auto number = [&text](std::size_t at, std::size_t count) {
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    const LocalDateTime t{number(0, 4),  number(5, 2),  number(8, 2),
                          number(11, 2), number(14, 2), number(17, 2)};
    const std::int64_t seconds = ToLocalSeconds(t);
    const LocalDateTime back = FromLocalSeconds(seconds);
    if (back.year != t.year || back.month != t.month || back.day != t.day || back.hour != t.hour ||
        back.minute != t.minute || back.second != t.second) {
        return std::nullopt;
    }
    return seconds;
}

}  // namespace

std::optional<std::int64_t> ReadDateOnly(std::string_view text, DayEdge edge) {
    const char* replacement = edge == DayEdge::Start ? "$1-$2-$3 00:00:00" : "$1-$2-$3 23:59:59";
    return ReadIsoText(RegExReplace("^(....)(..)(..)", text, replacement, false, true));
}

std::optional<std::int64_t> ReadDateTime(std::string_view text, int bias) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) {
        const auto utc = ReadIsoText(
            RegExReplace("^(....)(..)(..)T(..)(..)(..)Z", text, "$1-$2-$3 $4:$5:$6", false, true));
        if (!utc) return std::nullopt;
        return *utc - static_cast<std::int64_t>(bias) * 60;
    }
    return ReadIsoText(
        RegExReplace("^(....)(..)(..)T(..)(..)(..)$", text, "$1-$2-$3 $4:$5:$6", false, true));
}

std::int64_t ClampCount(double value) {
    if (std::isnan(value)) return 0;
    if (value > kCountLimit) return static_cast<std::int64_t>(kCountLimit);
    if (value < -kCountLimit) return -static_cast<std::int64_t>(kCountLimit);
    return std::llround(value);
}

std::int64_t SecondsFromMs(std::string_view milliseconds) {
    return ClampCount(LeadingNumber(milliseconds) / 1000.0);
}

int DayOfMonth(std::int64_t localSeconds) {
    return FromLocalSeconds(localSeconds).day;
}

std::string TomorrowMark(std::int64_t date, std::int64_t now) {
    return DayOfMonth(date) == DayOfMonth(now) + 1 ? "明日" : "";
}

std::string FormatoFecha(LocaleInfo& locale, std::int64_t localSeconds) {
    return RegExReplace("([0-9]{1,2}):([0-9]{1,2}):[0-9]{1,2}( .+)?",
                        locale.LongTimeText(FromLocalSeconds(localSeconds)), "$1:$2$3", false,
                        true);
}

std::string WhenText(LocaleInfo& locale, bool allDay, std::int64_t start, std::int64_t end,
                     std::int64_t now) {
    std::string when = TomorrowMark(start, now);
    if (allDay) return when + "終日";
    return when + FormatoFecha(locale, start) + " - " + FormatoFecha(locale, end);
}

}  // namespace tovela

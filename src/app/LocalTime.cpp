#include "app/LocalTime.h"

#include <cstdio>

namespace tovela {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

std::int64_t ToLocalSeconds(const LocalDateTime& t) {
    return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
               86400 +
           t.hour * 3600 + t.minute * 60 + t.second;
}

LocalDateTime FromLocalSeconds(std::int64_t localSeconds) {
    std::int64_t days = FloorDiv(localSeconds, 86400);
    const auto secondsOfDay = static_cast<int>(localSeconds - days * 86400);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m),      static_cast<int>(d),
            secondsOfDay / 3600, (secondsOfDay / 60) % 60, secondsOfDay % 60};
}

int GetTimeZoneBias(Clock& clock, TimeZone& zone) {
    return zone.BiasMinutes(FloorDiv(clock.NowUtcMs(), 1000));
}

std::int64_t LocalNowSeconds(Clock& clock, TimeZone& zone) {
    const std::int64_t utc = FloorDiv(clock.NowUtcMs(), 1000);
    return utc - static_cast<std::int64_t>(zone.BiasMinutes(utc)) * 60;
}

std::string DateTimeText(const LocalDateTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string DateText(const LocalDateTime& t) {
    char text[24];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
    return text;
}

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"

// Local date-times are kept as "local seconds": seconds since 1970-01-01 00:00 on the
// local wall clock, so date arithmetic stays plain integer arithmetic.
namespace tovela {

std::int64_t ToLocalSeconds(const LocalDateTime& t);
LocalDateTime FromLocalSeconds(std::int64_t localSeconds);

// Minutes, UTC = local + bias, as the zone has it now.
int GetTimeZoneBias(Clock& clock, TimeZone& zone);
std::int64_t LocalNowSeconds(Clock& clock, TimeZone& zone);
inline LocalDateTime LocalNow(Clock& clock, TimeZone& zone) {
    return FromLocalSeconds(LocalNowSeconds(clock, zone));
}

// 2026/12/06 07:51:15, as the trace lines show dates.
std::string DateTimeText(const LocalDateTime& t);
// 2026/12/06
std::string DateText(const LocalDateTime& t);

}  // namespace tovela

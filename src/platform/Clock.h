#pragma once

#include <cstdint>

namespace tovela {

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t NowUtcMs() = 0;
    // The system tick count in milliseconds; wraps around at 2^32.
    virtual std::uint32_t TickCount() = 0;
};

// The user's time zone. The bias is in minutes with UTC = local time + bias, the standard
// or daylight part included as it applies at the given moment.
class TimeZone {
public:
    virtual ~TimeZone() = default;
    virtual int BiasMinutes(std::int64_t utcSeconds) = 0;
};

}  // namespace tovela

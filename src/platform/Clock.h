#pragma once

namespace tovela {

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The wall clock in the user's local time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() = 0;
};

}  // namespace tovela

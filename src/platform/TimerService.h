#pragma once

#include <cstdint>
#include <functional>

namespace tovela {

// Window timers that call back on the user-interface thread, in the shape of SetTimer:
// setting a timer whose id is already set replaces it (new period, new callback); a timer
// fires every `milliseconds` until killed.
class TimerService {
public:
    virtual ~TimerService() = default;
    // The id of the timer set, or 0 when the system refused.
    virtual std::uint32_t SetTimer(std::uint32_t id, std::uint32_t milliseconds,
                                   std::function<void()> callback) = 0;
    virtual bool KillTimer(std::uint32_t id) = 0;
};

}  // namespace tovela

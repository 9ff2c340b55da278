#pragma once

#include <cstdint>
#include <functional>

#include "platform/TimerService.h"

namespace tovela {

// The one periodic timer that drives the check cycle. A restart replaces the pending
// expiry; the expiry handler decides the next period.
class PollTimer {
public:
    PollTimer(TimerService& timers, std::function<void()> onExpiry)
        : timers_(timers), onExpiry_(std::move(onExpiry)) {}

    // StartPollTimer: below one second nothing starts.
    void Start(std::int32_t nSeconds);
    // StopPollTimer
    void Stop();
    // Stops it for good: the program is ending, and a check that was still waiting for the
    // server (a message box of it open at the end of the session) must not start it again.
    void Retire() {
        Stop();
        retired_ = true;
    }

    bool bTimerActivo() const { return bTimerActivo_; }
    std::uint32_t lTimerId() const { return lTimerId_; }

    static constexpr std::uint32_t kTimerId = 1684;
    static constexpr std::uint32_t kFallbackTimerId = 1;

private:
    TimerService& timers_;
    std::function<void()> onExpiry_;
    std::uint32_t lTimerId_ = 0;
    bool bTimerActivo_ = false;
    bool retired_ = false;
};

}  // namespace tovela

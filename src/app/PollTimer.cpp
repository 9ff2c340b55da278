#include "app/PollTimer.h"

#include <algorithm>

namespace tovela {
namespace {
// A refused timer is asked for again at once; a system that keeps refusing is not asked
// forever, so the program stays responsive.
constexpr int kFallbackAttempts = 100;
}  // namespace

void PollTimer::Start(std::int32_t nSeconds) {
    if (nSeconds < 1 || retired_) return;
    const auto milliseconds = static_cast<std::uint32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(nSeconds) * 1000, 0xFFFFFFFF));
    std::uint32_t id = timers_.SetTimer(kTimerId, milliseconds, onExpiry_);
    for (int attempt = 0; id == 0 && attempt < kFallbackAttempts; ++attempt) {
        id = timers_.SetTimer(kFallbackTimerId, milliseconds, onExpiry_);
    }
    if (id == 0) return;
    // A timer that runs under the other id would otherwise fire as well.
    if (bTimerActivo_ && lTimerId_ != id) timers_.KillTimer(lTimerId_);
    lTimerId_ = id;
    bTimerActivo_ = true;
}

void PollTimer::Stop() {
    if (!bTimerActivo_) return;
    timers_.KillTimer(lTimerId_);
    bTimerActivo_ = false;
}

}  // namespace tovela

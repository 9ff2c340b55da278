#include "app/WaitWithMessages.h"

namespace tovela {

std::uint32_t WaitWithMessages(MessageLoop& loop, Clock& clock, std::uint32_t nTimeoutMs,
                               std::span<const std::uintptr_t> handles) {
    const bool limited = nTimeoutMs != kInfinite;
    // Tick arithmetic in 32 bits: the counter wraps around after 49.7 days.
    const std::uint32_t deadline = clock.TickCount() + nTimeoutMs;
    const auto inputArrived = static_cast<std::uint32_t>(handles.size());
    while (true) {
        std::uint32_t remaining = kInfinite;
        if (limited) {
            remaining = deadline - clock.TickCount();
            // Past the deadline the unsigned difference wraps to a huge value.
            if (remaining > nTimeoutMs) return kWaitTimeout;
        }
        const std::uint32_t result = loop.MsgWaitForMultipleObjects(handles, remaining);
        loop.DoEvents();
        if (result != inputArrived) return result;
    }
}

}  // namespace tovela

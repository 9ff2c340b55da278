#pragma once

#include <cstdint>
#include <span>

#include "platform/Clock.h"
#include "platform/MessageLoop.h"

namespace tovela {

// Waits until one of `handles` is signalled (its index), the time runs out (kWaitTimeout) or
// the wait fails, handling the user interface's messages meanwhile so the program stays
// responsive. kInfinite waits without limit.
std::uint32_t WaitWithMessages(MessageLoop& loop, Clock& clock, std::uint32_t nTimeoutMs,
                               std::span<const std::uintptr_t> handles);

}  // namespace tovela

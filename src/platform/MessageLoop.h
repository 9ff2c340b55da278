#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace tovela {

inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// The one user-interface thread's message loop. Every piece of work runs to its end inside
// the message that started it.
class MessageLoop {
public:
    virtual ~MessageLoop() = default;
    // Called on the loop's thread when the system asks the program to end (a signal on
    // Linux, the end of the session on Windows).
    virtual void SetShutdownHandler(std::function<void()> handler) = 0;
    // Runs until Quit; returns the process exit code.
    virtual int Run() = 0;
    virtual void Quit() = 0;

    // MsgWaitForMultipleObjects: the index of a signalled handle, handles.size() when
    // input for the loop arrived, kWaitTimeout, or kWaitFailed. Handles are process handles
    // on Windows and readable descriptors (such as a pidfd) on Linux.
    virtual std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t> handles,
                                                    std::uint32_t milliseconds) = 0;
    // Handles every message that is pending now, without waiting for more.
    virtual void DoEvents() = 0;
};

}  // namespace tovela

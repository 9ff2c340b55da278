#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/MessageLoop.h"
#include "platform/TimerService.h"

namespace tovela::posix {

// The Linux user-interface thread: one poll() loop serving the program's descriptors and
// timers, and turning SIGINT and SIGTERM into the shutdown request.
class EventLoop final : public MessageLoop, public TimerService {
public:
    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void SetShutdownHandler(std::function<void()> handler) override;
    int Run() override;
    void Quit() override;
    std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t> handles,
                                            std::uint32_t milliseconds) override;
    void DoEvents() override;

    std::uint32_t SetTimer(std::uint32_t id, std::uint32_t milliseconds,
                           std::function<void()> callback) override;
    bool KillTimer(std::uint32_t id) override;

    // Calls `onReadable` on the loop's thread whenever `fd` can be read.
    void Watch(int fd, std::function<void()> onReadable);
    void Unwatch(int fd);

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Timer {
        std::chrono::milliseconds period;
        TimePoint due;
        std::function<void()> callback;
        std::uint64_t generation;
    };

    // Waits at most `timeoutMs` (-1: no limit) for the loop's descriptors and the extra
    // ones; returns the poll results of the extra ones, or nothing on error.
    bool Poll(int timeoutMs, std::span<const std::uintptr_t> extra, std::vector<short>& extraReady,
              bool& loopReady);
    void Dispatch();
    int MillisecondsToNextTimer() const;
    void DrainSignals();

    std::map<int, std::function<void()>> watches_;
    std::map<std::uint32_t, Timer> timers_;
    std::vector<int> readyFds_;
    std::function<void()> shutdownHandler_;
    std::uint64_t timerGeneration_ = 0;
    bool quit_ = false;
    bool signalled_ = false;
    int signalPipe_[2] = {-1, -1};
};

}  // namespace tovela::posix

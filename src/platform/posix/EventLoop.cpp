#include "platform/posix/EventLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace tovela::posix {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// Written by the signal handler, read by the loop: the only state a handler may touch.
volatile sig_atomic_t gSignalWriteFd = -1;

extern "C" void OnTerminationSignal(int) {
    int saved = errno;
    if (gSignalWriteFd >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t n = write(gSignalWriteFd, &byte, 1);
    }
    errno = saved;
}

void SetNonBlockingCloexec(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

EventLoop::EventLoop() {
    if (pipe(signalPipe_) == 0) {
        SetNonBlockingCloexec(signalPipe_[0]);
        SetNonBlockingCloexec(signalPipe_[1]);
        gSignalWriteFd = signalPipe_[1];
        struct sigaction action = {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }
    // A vanished peer of the mailbox socket must not end the program.
    signal(SIGPIPE, SIG_IGN);
}

EventLoop::~EventLoop() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    gSignalWriteFd = -1;
    for (int fd : signalPipe_) {
        if (fd >= 0) close(fd);
    }
}

void EventLoop::SetShutdownHandler(std::function<void()> handler) {
    shutdownHandler_ = std::move(handler);
}

void EventLoop::Watch(int fd, std::function<void()> onReadable) {
    watches_[fd] = std::move(onReadable);
}

void EventLoop::Unwatch(int fd) {
    watches_.erase(fd);
}

void EventLoop::Quit() {
    quit_ = true;
}

std::uint32_t EventLoop::SetTimer(std::uint32_t id, std::uint32_t ms,
                                  std::function<void()> callback) {
    if (id == 0) return 0;
    const milliseconds period(std::max<std::uint32_t>(ms, 1));
    timers_[id] =
        Timer{period, SteadyClock::now() + period, std::move(callback), ++timerGeneration_};
    return id;
}

bool EventLoop::KillTimer(std::uint32_t id) {
    return timers_.erase(id) > 0;
}

int EventLoop::MillisecondsToNextTimer() const {
    if (timers_.empty()) return -1;
    auto next = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
                    return a.second.due < b.second.due;
                })->second.due;
    auto left = duration_cast<milliseconds>(next - SteadyClock::now()).count() + 1;
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void EventLoop::DrainSignals() {
    char buffer[64];
    while (read(signalPipe_[0], buffer, sizeof buffer) > 0) {
    }
    if (shutdownHandler_) {
        shutdownHandler_();
    } else {
        Quit();
    }
}

bool EventLoop::Poll(int timeoutMs, std::span<const std::uintptr_t> extra,
                     std::vector<short>& extraReady, bool& loopReady) {
    std::vector<pollfd> fds;
    for (std::uintptr_t handle : extra) fds.push_back({static_cast<int>(handle), POLLIN, 0});
    fds.push_back({signalPipe_[0], POLLIN, 0});
    for (const auto& entry : watches_) fds.push_back({entry.first, POLLIN, 0});

    int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0 && errno != EINTR) return false;

    extraReady.assign(extra.size(), 0);
    for (std::size_t i = 0; i < extra.size(); ++i) extraReady[i] = fds[i].revents;
    readyFds_.clear();
    signalled_ = false;
    for (std::size_t i = extra.size(); i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == signalPipe_[0]) {
            signalled_ = true;
        } else {
            readyFds_.push_back(fds[i].fd);
        }
    }
    loopReady = signalled_ || !readyFds_.empty() || MillisecondsToNextTimer() == 0;
    return true;
}

// Runs what the last poll found ready, then every timer that is due.
void EventLoop::Dispatch() {
    if (signalled_) {
        signalled_ = false;
        DrainSignals();
    }
    std::vector<int> ready;
    ready.swap(readyFds_);
    for (int fd : ready) {
        if (quit_) return;
        // A callback may unwatch descriptors, so look each one up afresh.
        auto it = watches_.find(fd);
        if (it == watches_.end()) continue;
        auto callback = it->second;
        callback();
    }
    const auto now = SteadyClock::now();
    std::vector<std::pair<std::uint32_t, std::uint64_t>> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) due.emplace_back(id, timer.generation);
    }
    for (auto [id, generation] : due) {
        if (quit_) return;
        // A callback may kill or re-arm any timer; only fire the one that was due.
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.generation != generation) continue;
        it->second.due = SteadyClock::now() + it->second.period;
        auto callback = it->second.callback;
        callback();
    }
}

int EventLoop::Run() {
    quit_ = false;
    std::vector<short> none;
    while (!quit_) {
        bool loopReady = false;
        if (!Poll(MillisecondsToNextTimer(), {}, none, loopReady)) return 1;
        Dispatch();
    }
    return 0;
}

std::uint32_t EventLoop::MsgWaitForMultipleObjects(std::span<const std::uintptr_t> handles,
                                                   std::uint32_t milliseconds) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
    while (true) {
        int timeout = -1;
        if (milliseconds != kInfinite) {
            auto left =
                duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        // Timers count as input: the caller handles them by pumping messages.
        int toTimer = MillisecondsToNextTimer();
        if (toTimer >= 0 && (timeout < 0 || toTimer < timeout)) timeout = toTimer;

        std::vector<short> ready;
        bool loopReady = false;
        if (!Poll(timeout, handles, ready, loopReady)) return kWaitFailed;
        for (std::size_t i = 0; i < ready.size(); ++i) {
            if (ready[i] & POLLNVAL) return kWaitFailed;
            if (ready[i] != 0) return static_cast<std::uint32_t>(i);
        }
        if (loopReady) return static_cast<std::uint32_t>(handles.size());
        if (milliseconds != kInfinite && SteadyClock::now() >= deadline) return kWaitTimeout;
    }
}

void EventLoop::DoEvents() {
    std::vector<short> none;
    bool loopReady = false;
    if (Poll(0, {}, none, loopReady)) Dispatch();
}

}  // namespace tovela::posix

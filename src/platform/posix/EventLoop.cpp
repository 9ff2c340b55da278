#include "platform/posix/EventLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tovela::posix {
namespace {

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

int EventLoop::Run() {
    quit_ = false;
    while (!quit_) {
        std::vector<pollfd> fds;
        fds.push_back({signalPipe_[0], POLLIN, 0});
        for (const auto& [fd, callback] : watches_) fds.push_back({fd, POLLIN, 0});

        int ready = poll(fds.data(), fds.size(), -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (fds[0].revents != 0) {
            DrainSignals();
            continue;
        }
        for (std::size_t i = 1; i < fds.size() && !quit_; ++i) {
            if (fds[i].revents == 0) continue;
            // A callback may unwatch descriptors, so look it up afresh.
            auto it = watches_.find(fds[i].fd);
            if (it == watches_.end()) continue;
            auto callback = it->second;
            callback();
        }
    }
    return 0;
}

}  // namespace tovela::posix

#pragma once

#include <functional>
#include <map>

#include "platform/MessageLoop.h"

namespace tovela::posix {

// The Linux user-interface thread: one poll() loop serving the program's descriptors and
// turning SIGINT and SIGTERM into the shutdown request.
class EventLoop final : public MessageLoop {
  public:
    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void SetShutdownHandler(std::function<void()> handler) override;
    int Run() override;
    void Quit() override;

    // Calls `onReadable` on the loop's thread whenever `fd` can be read.
    void Watch(int fd, std::function<void()> onReadable);
    void Unwatch(int fd);

  private:
    void DrainSignals();

    std::map<int, std::function<void()>> watches_;
    std::function<void()> shutdownHandler_;
    bool quit_ = false;
    int signalPipe_[2] = {-1, -1};
};

}  // namespace tovela::posix

#pragma once

#include "platform/MailboxWindow.h"
#include "platform/SingleInstance.h"
#include "platform/posix/EventLoop.h"

namespace tovela::posix {

// The running instance holds a lock on a file in the runtime folder for its whole life.
class PosixSingleInstance final : public SingleInstance {
public:
    ~PosixSingleInstance() override;
    bool PrevInstance() override;
    bool SendCopyData(std::uint32_t kind, const std::optional<std::string>& payload) override;

private:
    int lockFd_ = -1;
    bool checked_ = false;
    bool previous_ = false;
};

// The first mailbox window of the process serves the mailbox socket; further ones (one per
// appointment icon) exist only as handles, as their Windows twins are never the one a
// second start finds first.
class PosixWindowSystem final : public WindowSystem {
public:
    explicit PosixWindowSystem(EventLoop& loop) : loop_(loop) {}
    std::unique_ptr<MailboxWindow> CreateMailboxWindow(MailboxSink& sink) override;
    void HideFromTaskList() override {}

private:
    friend class PosixMailboxWindow;
    EventLoop& loop_;
    bool socketServed_ = false;
    std::uintptr_t nextHandle_ = 0x1000;
};

}  // namespace tovela::posix

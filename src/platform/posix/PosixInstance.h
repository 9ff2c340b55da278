#pragma once

#include <map>

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

    // The sink of a live window, for input that a script sends to it as the shell would;
    // nothing for a handle that is not (or no longer) a window.
    MailboxSink* FindWindow(std::uintptr_t handle) const;
    // The first window made and still alive: the main icon's.
    std::uintptr_t FirstWindow() const;

private:
    friend class PosixMailboxWindow;
    EventLoop& loop_;
    std::map<std::uintptr_t, MailboxSink*> live_;
    bool socketServed_ = false;
    std::uintptr_t nextHandle_ = 0x1000;
};

}  // namespace tovela::posix

#pragma once

#include <algorithm>
#include <vector>

#include "platform/MailboxWindow.h"

namespace tovela::testing {

// Mailbox windows that exist only as handles; tests deliver messages to their sinks.
class FakeWindowSystem final : public WindowSystem {
public:
    class Window final : public MailboxWindow {
    public:
        Window(FakeWindowSystem& owner, MailboxSink& sink, std::uintptr_t handle)
            : owner_(owner), sink_(sink), handle_(handle) {
            owner_.live.push_back(this);
        }
        ~Window() override { std::erase(owner_.live, this); }
        std::uintptr_t Handle() const override { return handle_; }
        MailboxSink& sink() { return sink_; }

    private:
        FakeWindowSystem& owner_;
        MailboxSink& sink_;
        std::uintptr_t handle_;
    };

    std::unique_ptr<MailboxWindow> CreateMailboxWindow(MailboxSink& sink) override {
        return std::make_unique<Window>(*this, sink, nextHandle++);
    }
    void HideFromTaskList() override { hiddenFromTaskList = true; }

    // What a second start reaches: the first mailbox window that still exists.
    MailboxSink* FirstMailbox() { return live.empty() ? nullptr : &live.front()->sink(); }

    std::vector<Window*> live;
    std::uintptr_t nextHandle = 0x100;
    bool hiddenFromTaskList = false;
};

}  // namespace tovela::testing

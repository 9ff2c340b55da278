#pragma once

#include <memory>

#include "platform/MailboxWindow.h"
#include "platform/SingleInstance.h"
#include "platform/win32/Win32Form.h"

namespace tovela::win32 {

// A named mutex tells whether the program already runs in this session; the request then
// goes to the running instance's "KVTTrayIconWnd" window.
class Win32SingleInstance final : public SingleInstance {
public:
    ~Win32SingleInstance() override;
    bool PrevInstance() override;
    bool SendCopyData(std::uint32_t kind, const std::optional<std::string>& payload) override;

private:
    void* mutex_ = nullptr;
    bool checked_ = false;
    bool previous_ = false;
};

class Win32WindowSystem final : public WindowSystem {
public:
    // Without a form (the back-end tests) there is nothing to keep out of the task list.
    explicit Win32WindowSystem(std::shared_ptr<Win32Form> form = nullptr)
        : form_(std::move(form)) {}
    std::unique_ptr<MailboxWindow> CreateMailboxWindow(MailboxSink& sink) override;
    void HideFromTaskList() override;

private:
    std::shared_ptr<Win32Form> form_;
};

}  // namespace tovela::win32

#pragma once

#include "platform/MailboxWindow.h"
#include "platform/SingleInstance.h"

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
    std::unique_ptr<MailboxWindow> CreateMailboxWindow(MailboxSink& sink) override;
    void HideFromTaskList() override {}
};

}  // namespace tovela::win32

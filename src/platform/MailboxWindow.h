#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tovela {

// What a hidden mailbox window receives, already turned into calls.
class MailboxSink {
public:
    virtual ~MailboxSink() = default;
    // WM_COPYDATA: dwData and the NUL-terminated single-byte text at lpData (nothing when
    // lpData is null). The result is what the sender gets back.
    virtual std::intptr_t OnCopyData(std::uint32_t kind,
                                     const std::optional<std::string>& text) = 0;
    // The shell's notification for an icon of this window (the low word of lParam).
    virtual void OnTrayCallback(std::int16_t notification) = 0;
    // The shell restarted ("TaskbarCreated"): icons must be added again.
    virtual void OnTaskbarCreated() = 0;
};

// The hidden window of class "STATIC" titled "KVTTrayIconWnd" that a tray icon and the
// program's inter-process mailbox share. Destroying the object destroys the window.
class MailboxWindow {
public:
    virtual ~MailboxWindow() = default;
    virtual std::uintptr_t Handle() const = 0;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual std::unique_ptr<MailboxWindow> CreateMailboxWindow(MailboxSink& sink) = 0;
    // Keeps the program out of the task list (it lives in the notification area).
    virtual void HideFromTaskList() = 0;
};

}  // namespace tovela

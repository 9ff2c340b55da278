#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "notify/TrayIconEvents.h"
#include "platform/MailboxWindow.h"

namespace tovela {

// One notification-area icon and the hidden window that receives the shell's callbacks
// for it. The window is also the program's inter-process mailbox, so requests of a second
// start and of the companion mail library arrive here and leave as events.
class TrayIcon final : public MailboxSink {
public:
    TrayIcon(WindowSystem& windows, TrayIconEvents& events);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    std::uintptr_t hwnd() const;

    std::intptr_t OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) override;
    void OnTrayCallback(std::int16_t notification) override;
    void OnTaskbarCreated() override;

    // Set while an upload or a message of the companion library is being handled, shared
    // by every icon: a second such request arriving meanwhile is dropped.
    static inline bool bEnProceso = false;

private:
    TrayIconEvents& events_;
    std::unique_ptr<MailboxWindow> window_;
};

}  // namespace tovela

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "notify/TrayIconEvents.h"
#include "platform/MailboxWindow.h"
#include "platform/NotifyIcon.h"

namespace tovela {

// One notification-area icon and the hidden window that receives the shell's callbacks
// for it. The window is also the program's inter-process mailbox, so requests of a second
// start and of the companion mail library arrive here and leave as events.
//
// The notify-icon structure is kept between calls and sent whole each time; every call
// writes only its own fields, the others keep what the previous call left. Icon handles
// stay owned by the caller.
class TrayIcon final : public MailboxSink {
public:
    // Field sizes of the shell's structure, in UTF-16 units without the terminator.
    static constexpr std::size_t kTipUnits = 127;
    static constexpr std::size_t kInfoUnits = 255;
    static constexpr std::size_t kInfoTitleUnits = 63;
    static constexpr std::uint32_t kBalloonTimeoutMs = 10000;

    TrayIcon(WindowSystem& windows, NotifyIconService& shell, TrayIconEvents& events);
    // Removes the icon if it is still shown, so no dead icon stays in the tray.
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    std::uintptr_t hwnd() const;

    // The program's main icon with the standard tip.
    void Iconizar(std::uintptr_t hIcon);
    // An icon whose tip is sTip and whose balloon has the text before sTip's first CR as
    // title and the text after its first LF as body; adds the icon when bAdd is set.
    void IconizarCal(std::uintptr_t hIcon, const std::string& sTip, bool bAdd = false);
    // A balloon on the shown icon, title and body split at the first CR LF. With unread
    // mail (nSinLeer >= 1) the tip and picture change too; otherwise they stay.
    void IconAdd(const std::string& sMensaje, int nSinLeer, std::uintptr_t hUserIcon);
    // Back to the quiet picture with the standard tip and no balloon.
    void IconReset(std::uintptr_t hIcon);
    void UpdateIconTip();
    // Only the tip changes (the progress of an upload, and what it was before).
    void SetTip(const std::string& tip);
    void Delete();

    bool IconShown() const { return shown_; }
    const NotifyIconData& Data() const { return data_; }

    // "Tovela Notifier v6.1.0": the tip of the main icon and the title of message boxes.
    static std::string TooltipText();

    std::intptr_t OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) override;
    void OnTrayCallback(std::int16_t notification) override;
    void OnTaskbarCreated() override;

    // Set while an upload or a message of the companion library is being handled, shared
    // by every icon: a second such request arriving meanwhile is dropped.
    static inline bool bEnProceso = false;

private:
    void Send(NotifyIconMessage message);

    NotifyIconService& shell_;
    TrayIconEvents& events_;
    std::unique_ptr<MailboxWindow> window_;
    NotifyIconData data_;
    bool shown_ = false;
};

}  // namespace tovela

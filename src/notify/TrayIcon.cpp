#include "notify/TrayIcon.h"

#include <string_view>

#include "app/CommandLine.h"
#include "app/Version.h"
#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

// Shell notifications of a tray icon (the low word of the callback's lParam).
constexpr std::int16_t kLButtonDown = 0x0201;
constexpr std::int16_t kLButtonUp = 0x0202;
constexpr std::int16_t kLButtonDblClk = 0x0203;
constexpr std::int16_t kRButtonDown = 0x0204;
constexpr std::int16_t kRButtonUp = 0x0205;
constexpr std::int16_t kRButtonDblClk = 0x0206;
constexpr std::int16_t kMButtonDown = 0x0207;
constexpr std::int16_t kMButtonUp = 0x0208;
constexpr std::int16_t kMButtonDblClk = 0x0209;
constexpr std::int16_t kBalloonShow = 0x0402;
constexpr std::int16_t kBalloonTimeout = 0x0404;
constexpr std::int16_t kBalloonUserClick = 0x0405;

// A payload that is not Base64 carries no usable command line.
std::string DecodeCommandLine(const std::optional<std::string>& text) {
    if (!text) return {};
    return Base64Decode(*text).value_or(std::string());
}

// Marks the shared busy flag while a handler runs, however it leaves; a request handled
// inside another one leaves it set for the outer one.
class BusyScope {
public:
    BusyScope() : previous_(TrayIcon::bEnProceso) { TrayIcon::bEnProceso = true; }
    ~BusyScope() { TrayIcon::bEnProceso = previous_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool previous_;
};

struct BalloonText {
    std::string title;
    std::string body;
};

// Appointment texts: the title ends at the first CR, the body starts after the first LF.
// Without a line break the whole text is the title.
BalloonText SplitAtCrThenLf(std::string_view text) {
    const std::size_t lf = text.find('\n');
    return {std::string(text.substr(0, text.find('\r'))),
            lf == std::string_view::npos ? std::string() : std::string(text.substr(lf + 1))};
}

// Mail texts: title and body either side of the first CR LF.
BalloonText SplitAtCrLf(std::string_view text) {
    const std::size_t crlf = text.find("\r\n");
    if (crlf == std::string_view::npos) return {std::string(text), std::string()};
    return {std::string(text.substr(0, crlf)), std::string(text.substr(crlf + 2))};
}

}  // namespace

TrayIcon::TrayIcon(WindowSystem& windows, NotifyIconService& shell, TrayIconEvents& events)
    : shell_(shell), events_(events), window_(windows.CreateMailboxWindow(*this)) {
    data_.hWnd = hwnd();
}

TrayIcon::~TrayIcon() {
    if (shown_) Delete();
}

std::uintptr_t TrayIcon::hwnd() const {
    return window_ ? window_->Handle() : 0;
}

std::string TrayIcon::TooltipText() {
    return std::string(kAppTitle) + " v" + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision);
}

void TrayIcon::Iconizar(std::uintptr_t hIcon) {
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.hIcon = hIcon;
    data_.szTip = LeftUtf16(TooltipText(), kTipUnits);
    Send(NotifyIconMessage::Add);
}

void TrayIcon::IconizarCal(std::uintptr_t hIcon, const std::string& sTip, bool bAdd) {
    const BalloonText balloon = SplitAtCrThenLf(sTip);
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data_.hIcon = hIcon;
    data_.szTip = LeftUtf16(sTip, kTipUnits);
    data_.szInfoTitle = LeftUtf16(balloon.title, kInfoTitleUnits);
    data_.szInfo = LeftUtf16(balloon.body, kInfoUnits);
    data_.dwInfoFlags = NIIF_USER;  // the balloon shows the icon's own picture
    data_.uTimeout = kBalloonTimeoutMs;
    data_.dwState = 0;
    data_.dwStateMask = 0;
    Send(bAdd ? NotifyIconMessage::Add : NotifyIconMessage::Modify);
}

void TrayIcon::IconAdd(const std::string& sMensaje, int nSinLeer, std::uintptr_t hUserIcon) {
    const BalloonText balloon = SplitAtCrLf(sMensaje);
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    if (nSinLeer >= 1) {
        data_.szTip = LeftUtf16(sMensaje, kTipUnits);
        data_.hIcon = hUserIcon;
        data_.dwInfoFlags = NIIF_USER;
    } else {
        // A notice without unread mail must not make the icon look like new mail.
        data_.dwInfoFlags = NIIF_INFO;
    }
    data_.uTimeout = kBalloonTimeoutMs;
    data_.szInfoTitle = LeftUtf16(balloon.title, kInfoTitleUnits);
    data_.szInfo = LeftUtf16(balloon.body, kInfoUnits);
    Send(NotifyIconMessage::Modify);
}

void TrayIcon::IconReset(std::uintptr_t hIcon) {
    data_.uFlags = NIF_ICON | NIF_TIP;
    data_.hIcon = hIcon;
    data_.szTip = LeftUtf16(TooltipText(), kTipUnits);
    data_.dwInfoFlags = NIIF_NONE;
    data_.dwState = 0;
    data_.dwStateMask = 0;
    data_.szInfoTitle.clear();
    data_.szInfo.clear();
    Send(NotifyIconMessage::Modify);
}

void TrayIcon::UpdateIconTip() {
    SetTip(TooltipText());
}

void TrayIcon::SetTip(const std::string& tip) {
    data_.uFlags = NIF_TIP;
    data_.szTip = LeftUtf16(tip, kTipUnits);
    Send(NotifyIconMessage::Modify);
}

void TrayIcon::Delete() {
    Send(NotifyIconMessage::Delete);
}

void TrayIcon::Send(NotifyIconMessage message) {
    data_.hWnd = hwnd();
    // The shell's answer is not acted on: there is nothing better to show instead.
    shell_.Shell_NotifyIcon(message, data_);
    if (message == NotifyIconMessage::Add) shown_ = true;
    if (message == NotifyIconMessage::Delete) shown_ = false;
}

std::intptr_t TrayIcon::OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) {
    switch (static_cast<RequestKind>(kind)) {
        case RequestKind::Abre:
            events_.OnAbreTovela(DecodeCommandLine(text));
            break;
        // Also while another one is handled: the form keeps what arrives and submits it
        // after the one under way, so nothing handed over is lost.
        case RequestKind::Upload: {
            BusyScope busy;
            events_.OnUploadFile(DecodeCommandLine(text));
            break;
        }
        case RequestKind::Mapi: {
            BusyScope busy;
            events_.OnMapiMensaje(text.value_or(std::string()));
            break;
        }
        case RequestKind::Settings:
            events_.OnSettingsShowRequest();
            break;
        default:
            break;
    }
    return 0;
}

void TrayIcon::OnTrayCallback(std::int16_t notification) {
    switch (notification) {
        case kLButtonDown:
            events_.OnMouseDown(MouseButton::Left);
            break;
        case kLButtonUp:
            events_.OnMouseUp(MouseButton::Left);
            break;
        case kLButtonDblClk:
            events_.OnDblClick(MouseButton::Left);
            break;
        case kRButtonDown:
            events_.OnMouseDown(MouseButton::Right);
            break;
        case kRButtonUp:
            events_.OnMouseUp(MouseButton::Right);
            break;
        case kRButtonDblClk:
            events_.OnDblClick(MouseButton::Right);
            break;
        case kMButtonDown:
            events_.OnMouseDown(MouseButton::Middle);
            break;
        case kMButtonUp:
            events_.OnMouseUp(MouseButton::Middle);
            break;
        case kMButtonDblClk:
            events_.OnDblClick(MouseButton::Middle);
            break;
        case kBalloonShow:
            events_.OnBalloonShow();
            break;
        case kBalloonTimeout:
            events_.OnBalloonHide();
            break;
        case kBalloonUserClick:
            events_.OnBalloonClick();
            break;
        default:
            break;  // mouse moves, a balloon closed by other means
    }
}

void TrayIcon::OnTaskbarCreated() {
    // The shell restarted and forgot every icon: add ours again exactly as last shown.
    if (shown_) shell_.Shell_NotifyIcon(NotifyIconMessage::Add, data_);
}

}  // namespace tovela

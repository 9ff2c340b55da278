#include "notify/TrayIcon.h"

#include "app/CommandLine.h"
#include "submit/TextEncodings.h"

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

// Clears the shared busy flag however the handler leaves.
class BusyScope {
public:
    BusyScope() { TrayIcon::bEnProceso = true; }
    ~BusyScope() { TrayIcon::bEnProceso = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

}  // namespace

TrayIcon::TrayIcon(WindowSystem& windows, TrayIconEvents& events)
    : events_(events), window_(windows.CreateMailboxWindow(*this)) {}

TrayIcon::~TrayIcon() = default;

std::uintptr_t TrayIcon::hwnd() const {
    return window_ ? window_->Handle() : 0;
}

std::intptr_t TrayIcon::OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) {
    switch (static_cast<RequestKind>(kind)) {
        case RequestKind::Abre:
            events_.OnAbreTovela(DecodeCommandLine(text));
            break;
        case RequestKind::Upload: {
            if (bEnProceso) break;
            BusyScope busy;
            events_.OnUploadFile(DecodeCommandLine(text));
            break;
        }
        case RequestKind::Mapi: {
            if (bEnProceso) break;
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
    // The icon is added again with its last data once the icon itself is shown.
}

}  // namespace tovela

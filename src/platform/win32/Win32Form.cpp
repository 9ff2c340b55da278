#include "platform/win32/Win32Form.h"

#include "platform/win32/Win32Desktop.h"

namespace tovela::win32 {

Win32Form::Win32Form() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResourceMain));
    // A second form in the same process finds the class registered already.
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kTitle,
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                            480, 360, nullptr, nullptr, instance, this);
}

Win32Form::~Win32Form() {
    if (!hwnd_) return;
    for (const auto& entry : timers_) ::KillTimer(hwnd_, entry.first);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

bool Win32Form::SetTimer(std::uint32_t id, std::uint32_t milliseconds,
                         std::function<void()> callback) {
    if (!hwnd_ || id == 0) return false;
    if (::SetTimer(hwnd_, id, milliseconds, &TimerProc) == 0) return false;
    timers_[id] = std::move(callback);
    return true;
}

bool Win32Form::KillTimer(std::uint32_t id) {
    if (timers_.erase(id) == 0) return false;
    ::KillTimer(hwnd_, id);
    return true;
}

void Win32Form::HideFromTaskList() {
    if (!hwnd_) return;
    LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, (style | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW);
}

bool Win32Form::TranslateDialogMessage(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    // Only keyboard input needs the dialog manager; everything else is dispatched as usual.
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void CALLBACK Win32Form::TimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return;
    auto it = form->timers_.find(static_cast<std::uint32_t>(id));
    if (it == form->timers_.end()) return;
    // The callback may set or kill this very timer.
    auto callback = it->second;
    callback();
}

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        auto* created = static_cast<Win32Form*>(create->lpCreateParams);
        // CreateWindowExW has not returned yet: the handle is known from here on.
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
    return form->Handle(msg, wp, lp);
}

LRESULT Win32Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (filter_ && filter_(msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_QUERYENDSESSION:
            // Nothing to ask the user: settings are saved as the program ends.
            return TRUE;
        case WM_ENDSESSION:
            if (wp) RequestShutdown();
            return 0;
        case WM_CLOSE:
            // Closing the hidden form (the task manager's "end task") ends the program the
            // way the tray menu's exit does.
            RequestShutdown();
            return 0;
        default:
            return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

void Win32Form::RequestShutdown() {
    if (shuttingDown_) return;
    shuttingDown_ = true;
    if (shutdown_) {
        shutdown_();
    } else {
        PostQuitMessage(0);
    }
}

}  // namespace tovela::win32

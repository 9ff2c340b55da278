#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>

namespace tovela::win32 {

// The program's main form: a real top-level window that stays hidden while the program
// lives in the notification area. Its window timers call back on it, and the system's
// requests to end the program (the end of the session, a close request from the task
// manager) arrive here.
class Win32Form {
public:
    static constexpr const wchar_t* kClassName = L"TovelaNotifierForm";
    static constexpr const wchar_t* kTitle = L"Tovela Notifier";

    Win32Form();
    ~Win32Form();
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    HWND Handle() const { return hwnd_; }

    // Called when the system asks the program to end; the handler must have finished its
    // work when it returns (the process may be ended right after WM_ENDSESSION).
    void SetShutdownHandler(std::function<void()> handler) { shutdown_ = std::move(handler); }

    // SetTimer on the form: ids are the program's own; setting a set id replaces it.
    bool SetTimer(std::uint32_t id, std::uint32_t milliseconds, std::function<void()> callback);
    bool KillTimer(std::uint32_t id);

    // A tool window: not listed in the taskbar or Alt+Tab.
    void HideFromTaskList();

    // Sees the form's messages before the form does: returns true with `result` set when it
    // handled one. The settings window's controls are driven through it.
    using MessageFilter = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;
    void SetMessageFilter(MessageFilter filter) { filter_ = std::move(filter); }

    // The dialog keys (Tab, Enter, Escape, mnemonics) for the form's controls; true when the
    // message was handled and must not be dispatched again. Every message loop of the UI
    // thread calls it.
    bool TranslateDialogMessage(MSG& msg);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static void CALLBACK TimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void RequestShutdown();

    HWND hwnd_ = nullptr;
    std::function<void()> shutdown_;
    MessageFilter filter_;
    std::map<std::uint32_t, std::function<void()>> timers_;
    bool shuttingDown_ = false;
};

}  // namespace tovela::win32

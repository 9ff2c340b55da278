#include "platform/win32/Win32DesktopWindows.h"

#include <windows.h>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

HWND Hwnd(std::uintptr_t handle) {
    return reinterpret_cast<HWND>(handle);
}

std::uintptr_t Handle(HWND hwnd) {
    return reinterpret_cast<std::uintptr_t>(hwnd);
}

}  // namespace

std::uintptr_t Win32DesktopWindows::NextWindow(std::uintptr_t parent, std::uintptr_t after,
                                               const std::string& className) {
    const std::wstring wideClass = Wide(className);
    return Handle(::FindWindowExW(Hwnd(parent), Hwnd(after),
                                  className.empty() ? nullptr : wideClass.c_str(), nullptr));
}

std::uintptr_t Win32DesktopWindows::FirstChild(std::uintptr_t window) {
    return Handle(GetWindow(Hwnd(window), GW_CHILD));
}

std::string Win32DesktopWindows::WindowText(std::uintptr_t window) {
    const int length = GetWindowTextLengthW(Hwnd(window));
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(Hwnd(window), text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return Narrow(text);
}

std::string Win32DesktopWindows::ClassName(std::uintptr_t window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(Hwnd(window), name, 256);
    return length > 0 ? Narrow(std::wstring_view(name, static_cast<std::size_t>(length)))
                      : std::string();
}

void Win32DesktopWindows::BringToFront(std::uintptr_t window) {
    const HWND target = Hwnd(window);
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD targetThread = GetWindowThreadProcessId(target, nullptr);
    const DWORD ownThread = GetCurrentThreadId();
    // Windows lets only the foreground's input owner hand the foreground on.
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    AttachThreadInput(ownThread, targetThread, TRUE);
    if (!SetForegroundWindow(target)) PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
    SetActiveWindow(target);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
    AttachThreadInput(ownThread, targetThread, FALSE);
}

}  // namespace tovela::win32

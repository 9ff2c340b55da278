#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tovela::win32 {

// The shell's notification area: the child "TrayNotifyWnd" of the taskbar "Shell_TrayWnd",
// both untitled. Nullptr without a taskbar.
HWND GetNotificationAreaHandle();

// The caption of `window` flying into the notification area; false when there is none.
bool AnimateIntoNotificationArea(HWND window);

// HKCU\Control Panel\Desktop\WindowMetrics "MinAnimate" as text; nothing when it is absent.
std::optional<std::string> ReadMinAnimate();

}  // namespace tovela::win32

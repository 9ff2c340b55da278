#pragma once

#include <windows.h>

#include <string>

namespace tovela::win32 {

// SHMessageBoxCheckW: a message box with a "don't show this again" check box. When the user
// ticked it once, the shell keeps that under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\DontShowMeThisDialogAgain
// `valueName` and later calls return `defaultAnswer` without showing anything. Where shlwapi
// lacks the call, a plain message box asks every time.
int ShellMessageBoxCheck(HWND owner, const std::string& text, const std::string& caption,
                         UINT style, int defaultAnswer, const std::string& valueName);

}  // namespace tovela::win32

#pragma once

#include <windows.h>

namespace tovela::win32 {

// The DPI a window is drawn at: GetDpiForWindow where the system has it (Windows 10 1607
// and later), else the screen's.
UINT DpiOfWindow(HWND hwnd);

// The window rectangle around `client` for a window of these styles at `dpi`.
RECT WindowRectForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace tovela::win32

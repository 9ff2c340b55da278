#pragma once

#include <windows.h>

namespace tovela::win32 {

// Wine's own system libraries stand in for Windows' under CI; where they knowingly behave
// differently a test says so instead of failing.
inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tovela::win32

#include "platform/win32/Win32Shell.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/WinText.h"

namespace tovela::win32 {

void Win32Shell::ShellOpen(const std::string& file, const std::string& params) {
    const std::wstring wideFile = Wide(file);
    const std::wstring wideParams = Wide(params);
    const std::wstring folder = Wide(desktop_.ProgramFolder());
    ShellExecuteW(nullptr, L"open", wideFile.c_str(),
                  wideParams.empty() ? nullptr : wideParams.c_str(), folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace tovela::win32

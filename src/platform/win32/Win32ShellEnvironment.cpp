#include "platform/win32/Win32ShellEnvironment.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/WinText.h"

namespace tovela::win32 {

bool Win32ShellEnvironment::IsUserAnAdmin() {
    return ::IsUserAnAdmin() != FALSE;
}

std::optional<int> Win32ShellEnvironment::TokenElevationType() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | READ_CONTROL, &token))
        return std::nullopt;
    TOKEN_ELEVATION_TYPE type = {};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, ::TokenElevationType, &type, sizeof type, &size);
    CloseHandle(token);
    if (!ok) return std::nullopt;
    return static_cast<int>(type);
}

std::string Win32ShellEnvironment::SendToFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &path)) && path)
        folder = Narrow(path);
    CoTaskMemFree(path);
    return folder;
}

std::vector<std::string> Win32ShellEnvironment::Environment() {
    std::vector<std::string> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return entries;
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
        entries.push_back(Narrow(entry));
    FreeEnvironmentStringsW(block);
    return entries;
}

bool Win32ShellEnvironment::IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32ShellEnvironment::FileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    return GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t Win32ShellEnvironment::RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) ? 0 : GetLastError();
}

bool Win32ShellEnvironment::StartHidden(const std::string& program,
                                        const std::string& commandLine) {
    std::wstring line = Wide(commandLine);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool Win32ShellEnvironment::OpenUri(const std::string& target) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void Win32ShellEnvironment::BroadcastSettingChange(const std::string& area) {
    const std::wstring text = Wide(area);
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 10, nullptr);
}

}  // namespace tovela::win32

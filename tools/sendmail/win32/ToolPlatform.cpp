#include "ToolPlatform.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/win32/Win32Mailbox.h"

namespace tovela::sendmail {
namespace {

std::string Utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring Wide(const std::string& text) {
    int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 1) return {};
    std::wstring out(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), units);
    out.pop_back();
    return out;
}

}  // namespace

// The ANSI argv loses what the code page cannot hold; the UTF-16 command line does not.
std::vector<std::string> ToolArguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8(list[i]));
    LocalFree(list);
    return args;
}

std::optional<std::string> ExistingAbsolutePath(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return std::nullopt;
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::nullopt;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::nullopt;
    full.resize(length);
    if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return Utf8(full.c_str());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

std::unique_ptr<SingleInstance> CreateMailboxSender() {
    return std::make_unique<win32::Win32SingleInstance>();
}

}  // namespace tovela::sendmail

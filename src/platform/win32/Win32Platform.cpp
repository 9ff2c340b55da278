#include <psapi.h>
#include <windows.h>
// psapi.h maps the name onto its kernel32 twin; our port keeps the plain name.
#undef EmptyWorkingSet

#include <cstdlib>
#include <map>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Factories.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32Mailbox.h"
#include "platform/win32/WinText.h"

namespace tovela {
namespace {

class Win32MessageLoop final : public MessageLoop {
public:
    void SetShutdownHandler(std::function<void()> handler) override {
        handler_ = std::move(handler);
    }
    int Run() override {
        MSG msg = {};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return static_cast<int>(msg.wParam);
    }
    void Quit() override { PostQuitMessage(0); }
    std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t> handles,
                                            std::uint32_t milliseconds) override {
        std::vector<HANDLE> list;
        for (std::uintptr_t h : handles) list.push_back(reinterpret_cast<HANDLE>(h));
        return ::MsgWaitForMultipleObjects(static_cast<DWORD>(list.size()), list.data(), FALSE,
                                           milliseconds, QS_ALLINPUT);
    }
    void DoEvents() override {
        MSG msg = {};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave it for the main loop, which ends on it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

private:
    std::function<void()> handler_;
};

class Win32Clock final : public Clock {
public:
    LocalDateTime Now() override {
        SYSTEMTIME t = {};
        GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
};

class Win32SystemInfo final : public SystemInfo {
public:
    OsVersion GetVersion() override {
        // GetVersionEx lies to programs without a manifest; ntdll tells the truth.
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof info;
        using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                         GetProcAddress(ntdll, "RtlGetVersion")))
                                   : nullptr;
        if (!rtlGetVersion || rtlGetVersion(&info) != 0) return {};
        return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
    }
    void EmptyWorkingSet() override { ::K32EmptyWorkingSet(GetCurrentProcess()); }
    std::string UserDataFolder() override {
        const wchar_t* appData = _wgetenv(L"APPDATA");
        if (!appData || !*appData) return {};
        return win32::Narrow(appData) + "\\NotificadorTovela";
    }
    std::string SystemErrorText(std::uint32_t code) override {
        wchar_t buffer[256] = {};
        DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, 256, nullptr);
        return length ? win32::Narrow(std::wstring_view(buffer, length)) : std::string();
    }
    std::uint32_t LastError() override { return GetLastError(); }
};

// The command line after the program's own name, as the classic runtime hands it over.
std::string CommandTail() {
    const wchar_t* line = GetCommandLineW();
    if (!line) return {};
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return win32::Narrow(line);
}

}  // namespace

std::unique_ptr<Platform> CreatePlatform(int, char**) {
    auto platform = std::make_unique<Platform>();
    platform->loop = std::make_unique<Win32MessageLoop>();
    platform->clock = std::make_unique<Win32Clock>();
    platform->timeZone = std::make_unique<Win32TimeZone>();
    platform->timers = std::make_unique<Win32Timers>();
    platform->settings = std::make_unique<win32::RegistrySettingsStore>();
    platform->instance = std::make_unique<win32::Win32SingleInstance>();
    platform->windows = std::make_unique<win32::Win32WindowSystem>();
    platform->system = std::make_unique<Win32SystemInfo>();
    platform->xml = win32::CreateXmlFactory();
    platform->http = win32::CreateHttpFactory();
    platform->commandLine = CommandTail();
    return platform;
}

}  // namespace tovela

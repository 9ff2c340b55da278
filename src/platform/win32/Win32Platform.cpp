#include <windows.h>

#include <psapi.h>
// psapi.h maps the name onto its kernel32 twin; our port keeps the plain name.
#undef EmptyWorkingSet

#include <cstdlib>

#include "platform/Platform.h"
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
    platform->settings = std::make_unique<win32::RegistrySettingsStore>();
    platform->instance = std::make_unique<win32::Win32SingleInstance>();
    platform->windows = std::make_unique<win32::Win32WindowSystem>();
    platform->system = std::make_unique<Win32SystemInfo>();
    platform->commandLine = CommandTail();
    return platform;
}

}  // namespace tovela

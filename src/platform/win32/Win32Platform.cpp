#include <windows.h>

#include <psapi.h>
// psapi.h maps the name onto its kernel32 twin; our port keeps the plain name.
#undef EmptyWorkingSet
// The same for winuser.h and the desktop port's message box.
#undef MessageBox

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Factories.h"
#include "platform/win32/MsHtmlEngine.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32BackgroundWork.h"
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Win32DesktopWindows.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32FormWindow.h"
#include "platform/win32/Win32Mailbox.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32ShellEnvironment.h"
#include "platform/win32/Win32ShellLinks.h"
#include "platform/win32/WinInetUploadHttp.h"
#include "platform/win32/WinText.h"

namespace tovela {
namespace {

class Win32MessageLoop final : public MessageLoop {
public:
    explicit Win32MessageLoop(std::shared_ptr<win32::Win32Form> form) : form_(std::move(form)) {}
    void SetShutdownHandler(std::function<void()> handler) override {
        form_->SetShutdownHandler(std::move(handler));
    }
    int Run() override {
        MSG msg = {};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (form_->TranslateDialogMessage(msg)) continue;
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
            if (form_->TranslateDialogMessage(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

private:
    std::shared_ptr<win32::Win32Form> form_;
};

class Win32Clock final : public Clock {
public:
    std::int64_t NowUtcMs() override {
        FILETIME ft = {};
        GetSystemTimeAsFileTime(&ft);
        ULARGE_INTEGER t = {};
        t.LowPart = ft.dwLowDateTime;
        t.HighPart = ft.dwHighDateTime;
        // 100 ns ticks since 1601-01-01.
        return static_cast<std::int64_t>(t.QuadPart / 10000) - 11644473600000LL;
    }
    std::uint32_t TickCount() override { return GetTickCount(); }
};

class Win32TimeZone final : public TimeZone {
public:
    int BiasMinutes(std::int64_t utcSeconds) override {
        ULARGE_INTEGER t = {};
        t.QuadPart = static_cast<ULONGLONG>(utcSeconds + 11644473600LL) * 10000000ULL;
        FILETIME utcFile = {t.LowPart, t.HighPart};
        SYSTEMTIME utc = {};
        SYSTEMTIME local = {};
        if (!FileTimeToSystemTime(&utcFile, &utc) ||
            !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
            return 0;
        }
        FILETIME localFile = {};
        SystemTimeToFileTime(&local, &localFile);
        ULARGE_INTEGER l = {};
        l.LowPart = localFile.dwLowDateTime;
        l.HighPart = localFile.dwHighDateTime;
        auto localSeconds = static_cast<std::int64_t>(l.QuadPart / 10000000ULL) - 11644473600LL;
        return static_cast<int>((utcSeconds - localSeconds) / 60);
    }
};

// Window timers on the form, with the program's own ids.
class Win32Timers final : public TimerService {
public:
    explicit Win32Timers(std::shared_ptr<win32::Win32Form> form) : form_(std::move(form)) {}
    std::uint32_t SetTimer(std::uint32_t id, std::uint32_t ms, std::function<void()> cb) override {
        return form_->SetTimer(id, ms, std::move(cb)) ? id : 0;
    }
    bool KillTimer(std::uint32_t id) override { return form_->KillTimer(id); }

private:
    std::shared_ptr<win32::Win32Form> form_;
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
    auto form = std::make_shared<win32::Win32Form>();
    platform->loop = std::make_unique<Win32MessageLoop>(form);
    platform->clock = std::make_unique<Win32Clock>();
    platform->timeZone = std::make_unique<Win32TimeZone>();
    platform->timers = std::make_unique<Win32Timers>(form);
    platform->settings = std::make_unique<win32::RegistrySettingsStore>();
    platform->instance = std::make_unique<win32::Win32SingleInstance>();
    platform->windows = std::make_unique<win32::Win32WindowSystem>(form);
    platform->form = std::make_unique<win32::Win32FormWindow>(form);
    platform->system = std::make_unique<Win32SystemInfo>();
    platform->notifyIcons = std::make_unique<win32::Win32NotifyIcons>();
    platform->desktop = std::make_unique<win32::Win32Desktop>(*platform->system);
    platform->shell = std::make_unique<win32::Win32Shell>(*platform->desktop);
    platform->desktopWindows = std::make_unique<win32::Win32DesktopWindows>();
    platform->locale = std::make_unique<win32::Win32LocaleInfo>();
    platform->xml = win32::CreateXmlFactory();
    platform->http = win32::CreateHttpFactory();
    platform->registry = std::make_unique<win32::Win32Registry>();
    platform->shellEnvironment = std::make_unique<win32::Win32ShellEnvironment>();
    platform->shellLinks = std::make_unique<win32::Win32ShellLinks>();
    platform->files = std::make_unique<win32::Win32FileSystem>();
    platform->uploadHttp = win32::CreateWinInetUploadHttpFactory(UploadLimits{});
    platform->userEnvironment = std::make_unique<win32::Win32UserEnvironment>();
    platform->background = std::make_unique<win32::Win32BackgroundWork>();
    platform->html = win32::CreateHtmlEngine();
    platform->commandLine = CommandTail();
    return platform;
}

}  // namespace tovela

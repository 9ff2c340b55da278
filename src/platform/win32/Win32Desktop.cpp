#include "platform/win32/Win32Desktop.h"

#include <windows.h>

#include <commctrl.h>
#include <mmsystem.h>
#include <psapi.h>
#include <shellapi.h>
// The port's names are plain; these headers map them onto their A/W variants.
#undef MessageBox
#undef Shell_NotifyIcon

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string_view>
#include <vector>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

// Copies a text into a fixed field of the shell's structure. The core has already cut it to
// the field; this only guards the array and never leaves half a surrogate pair at the end.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], const std::string& utf8) {
    const std::wstring text = Wide(utf8);
    std::size_t length = std::min(text.size(), N - 1);
    if (length < text.size() && length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
    std::copy_n(text.data(), length, field);
    field[length] = L'\0';
}

DWORD ShellMessage(NotifyIconMessage message) {
    switch (message) {
        case NotifyIconMessage::Add:
            return NIM_ADD;
        case NotifyIconMessage::Modify:
            return NIM_MODIFY;
        case NotifyIconMessage::Delete:
            return NIM_DELETE;
    }
    return NIM_MODIFY;
}

bool IsExplorerWindow(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return false;
    wchar_t path[255] = {};
    const DWORD length = K32GetModuleFileNameExW(process, nullptr, path, 255);
    CloseHandle(process);
    std::wstring lower(path, length);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return lower.find(L"explorer.exe") != std::wstring::npos;
}

// The picture at the size the notification area uses at the current DPI, scaled down from
// the nearest larger image where the icon has no image of exactly that size.
HICON LoadTrayIcon(int resource) {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    // Only the common controls of version 6 have LoadIconMetric; looked up at run time so
    // that a program without their manifest still starts.
    using LoadIconMetricFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
    auto loadIconMetric = controls ? reinterpret_cast<LoadIconMetricFn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(controls, "LoadIconMetric")))
                                   : nullptr;
    HICON icon = nullptr;
    if (loadIconMetric &&
        SUCCEEDED(loadIconMetric(module, MAKEINTRESOURCEW(resource), LIM_SMALL, &icon))) {
        return icon;
    }
    return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXSMICON),
                                           GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

}  // namespace

bool Win32NotifyIcons::Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = reinterpret_cast<HWND>(data.hWnd);
    nid.uID = data.uID;
    nid.uFlags = data.uFlags;
    nid.uCallbackMessage = data.uCallbackMessage;
    nid.hIcon = reinterpret_cast<HICON>(data.hIcon);
    CopyField(nid.szTip, data.szTip);
    nid.dwState = data.dwState;
    nid.dwStateMask = data.dwStateMask;
    CopyField(nid.szInfo, data.szInfo);
    nid.uTimeout = data.uTimeout;  // shares its place with uVersion, which stays default
    CopyField(nid.szInfoTitle, data.szInfoTitle);
    nid.dwInfoFlags = data.dwInfoFlags;
    return ::Shell_NotifyIconW(ShellMessage(message), &nid) != FALSE;
}

Win32Desktop::~Win32Desktop() {
    for (std::uintptr_t icon : icons_) {
        if (icon) ::DestroyIcon(reinterpret_cast<HICON>(icon));
    }
}

int Win32Desktop::MessageBox(const std::string& text, const std::string& caption,
                             std::uint32_t style) {
    return ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), style);
}

bool Win32Desktop::PlaySoundFile(const std::string& path) {
    return ::PlaySoundW(Wide(path).c_str(), nullptr, SND_ASYNC | SND_NODEFAULT | SND_FILENAME) !=
           FALSE;
}

void Win32Desktop::Beep() {
    ::MessageBeep(MB_OK);
}

bool Win32Desktop::FileExists(const std::string& path) {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Win32Desktop::ProgramFolder() {
    // Long paths exceed MAX_PATH: grow the buffer until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) break;
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
    std::wstring_view exe(buffer.data(), length);
    const std::size_t slash = exe.find_last_of(L"\\/");
    if (slash == std::wstring_view::npos) return {};
    return Narrow(exe.substr(0, slash + 1));
}

std::uintptr_t Win32Desktop::IconHandle(ProgramIcon icon) {
    int resource = kIconResourceMain;
    const wchar_t* stock = IDI_APPLICATION;
    switch (icon) {
        case ProgramIcon::Main:
            break;
        case ProgramIcon::NewMail:
            resource = kIconResourceNewMail;
            stock = IDI_INFORMATION;
            break;
        case ProgramIcon::Calendar:
            resource = kIconResourceCalendar;
            stock = IDI_INFORMATION;
            break;
    }
    std::uintptr_t& loaded = icons_[static_cast<std::size_t>(icon)];
    if (!loaded) loaded = reinterpret_cast<std::uintptr_t>(LoadTrayIcon(resource));
    if (loaded) return loaded;
    // Stock icons are shared: nothing to destroy later.
    return reinterpret_cast<std::uintptr_t>(::LoadIconW(nullptr, stock));
}

void Win32Desktop::FixTrayTooltipsZOrder() {
    // On Windows XP the tray's tooltips and balloons can end up behind topmost windows.
    const OsVersion version = system_.GetVersion();
    if (version.platformId != 2 || version.major != 5 || version.minor != 1) return;
    std::vector<HWND> explorerTips;
    HWND window = nullptr;
    while ((window = ::FindWindowExW(GetDesktopWindow(), window, L"tooltips_class32", nullptr))) {
        if (IsExplorerWindow(window)) explorerTips.push_back(window);
    }
    for (HWND tip : explorerTips) {
        ::SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
}

std::string Win32LocaleInfo::LongTimeText(const LocalDateTime& t) {
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(t.year);
    time.wMonth = static_cast<WORD>(t.month);
    time.wDay = static_cast<WORD>(t.day);
    time.wHour = static_cast<WORD>(t.hour);
    time.wMinute = static_cast<WORD>(t.minute);
    time.wSecond = static_cast<WORD>(t.second);
    wchar_t text[128] = {};
    const int length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128);
    if (length <= 1) {
        // Without the user's format, the 24-hour form still tells the time.
        swprintf(text, 128, L"%02d:%02d:%02d", t.hour, t.minute, t.second);
        return Narrow(text);
    }
    return Narrow(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
}

}  // namespace tovela::win32

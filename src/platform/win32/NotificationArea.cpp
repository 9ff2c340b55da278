#include "platform/win32/NotificationArea.h"

#include <string>

#include "platform/win32/WinText.h"

namespace tovela::win32 {

HWND GetNotificationAreaHandle() {
    HWND taskbar = FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", L"");
    if (!taskbar) return nullptr;
    return FindWindowExW(taskbar, nullptr, L"TrayNotifyWnd", L"");
}

bool AnimateIntoNotificationArea(HWND window) {
    HWND area = GetNotificationAreaHandle();
    if (!area) return false;
    RECT from = {}, to = {};
    GetWindowRect(window, &from);
    GetWindowRect(area, &to);
    DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    return true;
}

std::optional<std::string> ReadMinAnimate() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, size = 0;
    std::optional<std::string> value;
    if (RegQueryValueExW(key, L"MinAnimate", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
            DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            if (RegQueryValueExW(key, L"MinAnimate", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(text.data()), &bytes) == ERROR_SUCCESS) {
                text.resize(wcsnlen(text.c_str(), bytes / sizeof(wchar_t)));
                value = Narrow(text);
            }
        } else if (type == REG_DWORD) {
            // Written by hand as a number; the caller reads the text's leading number.
            DWORD number = 0, bytes = sizeof number;
            if (RegQueryValueExW(key, L"MinAnimate", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&number), &bytes) == ERROR_SUCCESS) {
                value = std::to_string(number);
            }
        }
    }
    RegCloseKey(key);
    return value;
}

}  // namespace tovela::win32

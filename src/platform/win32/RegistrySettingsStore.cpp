#include "platform/win32/RegistrySettingsStore.h"

#include <windows.h>

#include <vector>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

std::wstring KeyPath(std::string_view app, std::string_view section) {
    return L"Software\\VB and VBA Program Settings\\" + Wide(app) + L"\\" + Wide(section);
}

}  // namespace

std::optional<std::string> RegistrySettingsStore::GetSetting(std::string_view app,
                                                             std::string_view section,
                                                             std::string_view key) {
    HKEY hkey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                      &hkey) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring name = Wide(key);
    DWORD type = 0;
    DWORD bytes = 0;
    std::optional<std::string> result;
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
            // The stored text may or may not carry its terminating NUL.
            result = Narrow(std::wstring(buffer.data()));
        }
    }
    RegCloseKey(hkey);
    return result;
}

void RegistrySettingsStore::SaveSetting(std::string_view app, std::string_view section,
                                        std::string_view key, std::string_view value) {
    HKEY hkey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &hkey, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring name = Wide(key);
    const std::wstring data = Wide(value);
    RegSetValueExW(hkey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hkey);
}

}  // namespace tovela::win32

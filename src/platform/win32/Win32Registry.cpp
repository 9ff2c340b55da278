#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

HKEY Root(RegistryRoot root) {
    // The predefined handles are sign-extended 32-bit numbers; the view's bit goes with the
    // access mask instead.
    const std::uint32_t handle = static_cast<std::uint32_t>(root) & ~std::uint32_t{KEY_WOW64_32KEY};
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(handle)));
}

REGSAM View(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine32 ? KEY_WOW64_32KEY : 0;
}

// An open key that closes itself.
class OpenedKey {
public:
    OpenedKey(RegistryRoot root, const std::string& path, REGSAM access)
        : result_(RegOpenKeyExW(Root(root), Wide(path).c_str(), 0, access | View(root), &key_)) {}
    ~OpenedKey() {
        if (result_ == ERROR_SUCCESS) RegCloseKey(key_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    long Result() const { return result_; }
    HKEY Key() const { return key_; }

private:
    HKEY key_ = nullptr;
    long result_;
};

}  // namespace

long Win32Registry::CreateKey(RegistryRoot root, const std::string& path) {
    HKEY key = nullptr;
    const long result =
        RegCreateKeyExW(Root(root), Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS | View(root), nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    return result;
}

long Win32Registry::OpenKey(RegistryRoot root, const std::string& path) {
    return OpenedKey(root, path, KEY_ALL_ACCESS).Result();
}

long Win32Registry::QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                               std::size_t bufferSize, RegistryData& data) {
    OpenedKey key(root, path, KEY_READ);
    if (key.Result() != ERROR_SUCCESS) return key.Result();
    std::vector<BYTE> buffer(bufferSize);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const long result = RegQueryValueExW(key.Key(), Wide(name).c_str(), nullptr, &type,
                                         buffer.empty() ? nullptr : buffer.data(), &size);
    data.type = type;
    if (result == ERROR_SUCCESS) data.bytes.assign(buffer.begin(), buffer.begin() + size);
    return result;
}

long Win32Registry::SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                             const RegistryData& data) {
    OpenedKey key(root, path, KEY_ALL_ACCESS);
    if (key.Result() != ERROR_SUCCESS) return key.Result();
    return RegSetValueExW(key.Key(), Wide(name).c_str(), 0, data.type,
                          reinterpret_cast<const BYTE*>(data.bytes.data()),
                          static_cast<DWORD>(data.bytes.size()));
}

long Win32Registry::DeleteValue(RegistryRoot root, const std::string& path,
                                const std::string& name) {
    OpenedKey key(root, path, KEY_ALL_ACCESS);
    if (key.Result() != ERROR_SUCCESS) return key.Result();
    return RegDeleteValueW(key.Key(), Wide(name).c_str());
}

long Win32Registry::DeleteKey(RegistryRoot root, const std::string& path) {
    return RegDeleteKeyExW(Root(root), Wide(path).c_str(), View(root), 0);
}

}  // namespace tovela::win32

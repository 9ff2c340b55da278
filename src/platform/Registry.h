#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// The predefined root keys, with the numbers Windows gives their handles.
enum class RegistryRoot : std::uint32_t {
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    PerformanceData = 0x80000004,
    CurrentConfig = 0x80000005,
    // HKEY_LOCAL_MACHINE as 32-bit programs see it: its handle with KEY_WOW64_32KEY (0x200).
    // Where the system shares a key between the views, this is the same key.
    LocalMachine32 = 0x80000202,
};

// Value types as Windows numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// The error codes the registry answers with.
inline constexpr long kRegOk = 0;
inline constexpr long kRegNotFound = 2;      // ERROR_FILE_NOT_FOUND
inline constexpr long kRegAccessDenied = 5;  // ERROR_ACCESS_DENIED
inline constexpr long kRegMoreData = 234;    // ERROR_MORE_DATA

// A value as the registry stores it: its type and its bytes (text as UTF-16LE with the
// terminating NUL, numbers little-endian).
struct RegistryData {
    std::uint32_t type = 0;
    std::string bytes;
};

// The wide registry functions, one call each. Every key is opened with full access
// (KEY_ALL_ACCESS) and closed before the call returns; a key that does not open that way
// answers as missing. Key and value names are UTF-8 and compared without regard to case.
class Registry {
public:
    virtual ~Registry() = default;
    // RegCreateKeyExW: opens the key, creating it and any missing parents.
    virtual long CreateKey(RegistryRoot root, const std::string& path) = 0;
    // RegOpenKeyExW: whether the key opens.
    virtual long OpenKey(RegistryRoot root, const std::string& path) = 0;
    // RegQueryValueExW with a buffer of `bufferSize` bytes: kRegMoreData when the value
    // does not fit. An empty name is the key's default value.
    virtual long QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                            std::size_t bufferSize, RegistryData& data) = 0;
    // RegSetValueExW on an existing key.
    virtual long SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                          const RegistryData& data) = 0;
    // RegDeleteValueW on an existing key.
    virtual long DeleteValue(RegistryRoot root, const std::string& path,
                             const std::string& name) = 0;
    // RegDeleteKeyW: only a key without subkeys goes.
    virtual long DeleteKey(RegistryRoot root, const std::string& path) = 0;
};

}  // namespace tovela

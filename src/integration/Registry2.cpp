#include "integration/Registry2.h"

#include <cmath>
#include <cstdint>

#include "session/LeadingNumber.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

constexpr std::size_t kValueBuffer = 1024;

std::string Utf16LeBytes(const std::string& text) {
    std::string bytes;
    for (char16_t unit : ToUtf16(text)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    bytes.append(2, '\0');
    return bytes;
}

std::string TextFromUtf16Le(const std::string& bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    if (!units.empty() && units.back() == u'\0') units.pop_back();
    return FromUtf16(units);
}

std::string DwordBytes(const std::string& text) {
    const double number = LeadingNumber(text);
    // Out of range reads as 0, as a value that does not convert.
    const auto value = number >= 0 && number <= 4294967295.0
                           ? static_cast<std::uint32_t>(std::trunc(number))
                           : std::uint32_t{0};
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(value >> shift));
    return bytes;
}

}  // namespace

std::string RegistryRootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case RegistryRoot::LocalMachine32:
            return "HKEY_LOCAL_MACHINE (32-bit)";
        case RegistryRoot::Users:
            return "HKEY_USERS";
        case RegistryRoot::CurrentConfig:
            return "HKEY_CURRENT_CONFIG";
        default:
            return "HKEY_??";
    }
}

void Registry2::CreateRegistryKey(RegistryRoot root, const std::string& key) {
    log_.Write("CreateRegistryKey " + RegistryRootName(root) + ", " + key);
    registry_.CreateKey(root, key);
}

void Registry2::DeleteRegistryKey(RegistryRoot root, const std::string& key) {
    log_.Write("DeleteRegistryKey " + RegistryRootName(root) + ", " + key);
    registry_.DeleteKey(root, key);
}

void Registry2::DeleteValue(RegistryRoot root, const std::string& key, const std::string& name) {
    log_.Write("DeleteValue " + RegistryRootName(root) + ", " + key + ", " + name);
    registry_.DeleteValue(root, key, name);
}

std::string Registry2::GetRegValue(RegistryRoot root, const std::string& key,
                                   const std::string& name) {
    log_.Write("GetRegValue " + RegistryRootName(root) + ", " + key + ", " + name);
    RegistryData data;
    if (registry_.QueryValue(root, key, name, kValueBuffer, data) != kRegOk || data.bytes.empty())
        return {};
    switch (data.type) {
        case kRegSz:
        case kRegExpandSz:
            return TextFromUtf16Le(data.bytes);
        case kRegDword: {
            if (data.bytes.size() < 4) return {};
            std::uint32_t value = 0;
            for (int i = 3; i >= 0; --i)
                value = value << 8 | static_cast<unsigned char>(data.bytes[static_cast<size_t>(i)]);
            return std::to_string(value);
        }
        default:
            return {};
    }
}

bool Registry2::SetRegValue(RegistryRoot root, const std::string& key, const std::string& name,
                            const std::string& data) {
    log_.Write("SetRegValue " + RegistryRootName(root) + ", " + key + ", " + name + ", " + data);
    if (registry_.OpenKey(root, key) != kRegOk) return false;
    RegistryData existing;
    const long found = registry_.QueryValue(root, key, name, kValueBuffer, existing);
    std::uint32_t type = kRegSz;
    if (found == kRegOk || found == kRegMoreData) {
        type = existing.type;
    } else if (found != kRegNotFound) {
        return false;
    }
    RegistryData value;
    if (type == kRegDword) {
        value = {kRegDword, DwordBytes(data)};
    } else {
        // An expandable string stays one; any other kind of value becomes plain text.
        value = {type == kRegExpandSz ? kRegExpandSz : kRegSz, Utf16LeBytes(data)};
    }
    return registry_.SetValue(root, key, name, value) == kRegOk;
}

}  // namespace tovela

#include "platform/posix/FileRegistry.h"

#include <stdio.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "submit/Utf16.h"

namespace tovela::posix {
namespace {

struct Value {
    std::string name;
    RegistryData data;
};

struct Key {
    std::string path;
    std::map<std::string, Value> values;  // by lower-case name
};

// Every key by its lower-case full path, so parents sort before their subkeys.
using Hive = std::map<std::string, Key>;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

std::string RootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case RegistryRoot::Users:
            return "HKEY_USERS";
        case RegistryRoot::PerformanceData:
            return "HKEY_PERFORMANCE_DATA";
        case RegistryRoot::CurrentConfig:
            return "HKEY_CURRENT_CONFIG";
        case RegistryRoot::LocalMachine32:
            return "HKEY_LOCAL_MACHINE_32";
    }
    return "HKEY_UNKNOWN";
}

std::string FullPath(RegistryRoot root, std::string path) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path.empty() ? RootName(root) : RootName(root) + "\\" + path;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

// A quoted text starting at `at`; `at` ends past the closing quote.
bool Unquote(const std::string& line, std::size_t& at, std::string& text) {
    if (at >= line.size() || line[at] != '"') return false;
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\' && at + 1 < line.size()) c = line[++at];
        text.push_back(c);
    }
    return false;
}

// REG_SZ bytes that read as one line of text: written quoted, anything else in hex.
bool PlainText(const RegistryData& data, std::string& text) {
    if (data.type != kRegSz || data.bytes.size() < 2 || data.bytes.size() % 2 != 0) return false;
    std::u16string units;
    for (std::size_t i = 0; i < data.bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(data.bytes[i]) |
                                              static_cast<unsigned char>(data.bytes[i + 1]) << 8));
    }
    if (units.back() != u'\0') return false;
    units.pop_back();
    for (char16_t u : units)
        if (u < 0x20 || u == 0x7F || (u >= 0xD800 && u <= 0xDFFF)) return false;
    text = FromUtf16(units);
    return true;
}

std::string DataText(const RegistryData& data) {
    std::string text;
    if (PlainText(data, text)) return Quote(text);
    if (data.type == kRegDword && data.bytes.size() == 4) {
        unsigned value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(data.bytes[static_cast<size_t>(i)]);
        char hex[16];
        std::snprintf(hex, sizeof hex, "dword:%08x", value);
        return hex;
    }
    std::string out = data.type == kRegBinary ? "hex:" : "hex(" + std::to_string(data.type) + "):";
    for (std::size_t i = 0; i < data.bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data.bytes[i]));
        out += (i ? "," : "") + std::string(byte);
    }
    return out;
}

bool ParseData(const std::string& text, RegistryData& data) {
    if (!text.empty() && text.front() == '"') {
        std::size_t at = 0;
        std::string value;
        if (!Unquote(text, at, value)) return false;
        std::string bytes;
        for (char16_t u : ToUtf16(value)) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        data = {kRegSz, bytes + std::string(2, '\0')};
        return true;
    }
    if (text.rfind("dword:", 0) == 0) {
        const unsigned long value = std::stoul(text.substr(6), nullptr, 16);
        data.type = kRegDword;
        data.bytes.clear();
        for (int shift = 0; shift < 32; shift += 8)
            data.bytes.push_back(static_cast<char>(value >> shift));
        return true;
    }
    std::size_t colon = text.find(':');
    if (text.rfind("hex", 0) != 0 || colon == std::string::npos) return false;
    data.type = colon == 3 ? kRegBinary : static_cast<std::uint32_t>(std::stoul(text.substr(4)));
    data.bytes.clear();
    std::istringstream bytes(text.substr(colon + 1));
    std::string byte;
    while (std::getline(bytes, byte, ','))
        if (!byte.empty()) data.bytes.push_back(static_cast<char>(std::stoul(byte, nullptr, 16)));
    return true;
}

Hive Load(const std::string& file) {
    Hive hive;
    std::ifstream in(file);
    std::string line;
    Key* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            const std::string path = line.substr(1, line.size() - 2);
            current = &hive[Lower(path)];
            current->path = path;
            continue;
        }
        if (!current || line.empty()) continue;
        std::size_t at = 0;
        std::string name;
        if (line.rfind("@=", 0) == 0) {
            at = 1;
        } else if (!Unquote(line, at, name) || at >= line.size() || line[at] != '=') {
            continue;
        }
        RegistryData data;
        try {
            if (ParseData(line.substr(at + 1), data)) current->values[Lower(name)] = {name, data};
        } catch (const std::exception&) {
            // A line that does not parse is left out, as a value that is not there.
        }
    }
    return hive;
}

void MakeFolders(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        mkdir(file.substr(0, slash).c_str(), 0700);
    }
}

long Store(const std::string& file, const Hive& hive) {
    MakeFolders(file);
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "Windows Registry Editor Version 5.00\n";
        for (const auto& [lower, key] : hive) {
            out << "\n[" << key.path << "]\n";
            for (const auto& [lowerName, value] : key.values) {
                out << (value.name.empty() ? "@" : Quote(value.name)) << "=" << DataText(value.data)
                    << "\n";
            }
        }
        if (!out.flush()) return kRegAccessDenied;
    }
    chmod(temporary.c_str(), 0600);
    return std::rename(temporary.c_str(), file.c_str()) == 0 ? kRegOk : kRegAccessDenied;
}

bool Exists(const Hive& hive, RegistryRoot root, const std::string& path) {
    const std::string full = FullPath(root, path);
    return full == RootName(root) || hive.contains(Lower(full));
}

}  // namespace

long FileRegistry::CreateKey(RegistryRoot root, const std::string& path) {
    Hive hive = Load(file_);
    if (Exists(hive, root, path)) return kRegOk;
    const std::string full = FullPath(root, path);
    // The parents come into being on the way.
    for (std::size_t slash = full.find('\\');; slash = full.find('\\', slash + 1)) {
        const std::string part = full.substr(0, slash);
        if (part != RootName(root) && !hive.contains(Lower(part))) hive[Lower(part)].path = part;
        if (slash == std::string::npos) break;
    }
    return Store(file_, hive);
}

long FileRegistry::OpenKey(RegistryRoot root, const std::string& path) {
    return Exists(Load(file_), root, path) ? kRegOk : kRegNotFound;
}

long FileRegistry::QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                              std::size_t bufferSize, RegistryData& data) {
    const Hive hive = Load(file_);
    auto key = hive.find(Lower(FullPath(root, path)));
    if (key == hive.end()) return kRegNotFound;
    auto value = key->second.values.find(Lower(name));
    if (value == key->second.values.end()) return kRegNotFound;
    data.type = value->second.data.type;
    if (value->second.data.bytes.size() > bufferSize) return kRegMoreData;
    data.bytes = value->second.data.bytes;
    return kRegOk;
}

long FileRegistry::SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                            const RegistryData& data) {
    Hive hive = Load(file_);
    auto key = hive.find(Lower(FullPath(root, path)));
    if (key == hive.end()) return kRegNotFound;
    auto& slot = key->second.values[Lower(name)];
    // A value written again keeps the name it was first written with.
    if (slot.name.empty()) slot.name = name;
    slot.data = data;
    return Store(file_, hive);
}

long FileRegistry::DeleteValue(RegistryRoot root, const std::string& path,
                               const std::string& name) {
    Hive hive = Load(file_);
    auto key = hive.find(Lower(FullPath(root, path)));
    if (key == hive.end() || key->second.values.erase(Lower(name)) == 0) return kRegNotFound;
    return Store(file_, hive);
}

long FileRegistry::DeleteKey(RegistryRoot root, const std::string& path) {
    Hive hive = Load(file_);
    const std::string lower = Lower(FullPath(root, path));
    auto key = hive.find(lower);
    if (key == hive.end()) return kRegNotFound;
    // As RegDeleteKeyW: a key with subkeys stays.
    auto child = hive.lower_bound(lower + "\\");
    if (child != hive.end() && child->first.rfind(lower + "\\", 0) == 0) return kRegAccessDenied;
    hive.erase(key);
    return Store(file_, hive);
}

}  // namespace tovela::posix

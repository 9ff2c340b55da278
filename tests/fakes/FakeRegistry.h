#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "submit/Utf16.h"

namespace tovela::testing {

// An in-memory registry that behaves as Windows' does where the program relies on it
// (names without regard to case, parents made on the way, only leaf keys deleted) and
// records every change that took effect, in order, as "create HKCU\key",
// "set HKCU\key [name] = text" (DWORDs as "dword:N"), "delete HKCU\key [name]" and
// "delete HKCU\key".
class FakeRegistry final : public Registry {
public:
    long CreateKey(RegistryRoot root, const std::string& path) override {
        if (denied.contains(root)) return kRegAccessDenied;
        const std::string full = Full(root, path);
        if (keys.contains(Lower(full))) return kRegOk;
        for (std::size_t slash = full.find('\\');; slash = full.find('\\', slash + 1)) {
            const std::string part = full.substr(0, slash);
            if (part.find('\\') != std::string::npos) keys.try_emplace(Lower(part), Key{part, {}});
            if (slash == std::string::npos) break;
        }
        changes.push_back("create " + full);
        return kRegOk;
    }
    long OpenKey(RegistryRoot root, const std::string& path) override {
        if (denied.contains(root)) return kRegAccessDenied;
        return Find(root, path) ? kRegOk : kRegNotFound;
    }
    long QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                    std::size_t bufferSize, RegistryData& data) override {
        const Key* key = Find(root, path);
        if (!key) return kRegNotFound;
        auto value = key->values.find(Lower(name));
        if (value == key->values.end()) return kRegNotFound;
        data.type = value->second.type;
        if (value->second.bytes.size() > bufferSize) return kRegMoreData;
        data.bytes = value->second.bytes;
        return kRegOk;
    }
    long SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                  const RegistryData& data) override {
        if (denied.contains(root)) return kRegAccessDenied;
        Key* key = Find(root, path);
        if (!key) return kRegNotFound;
        key->values[Lower(name)] = data;
        changes.push_back("set " + key->path + " [" + name + "] = " + Show(data));
        return kRegOk;
    }
    long DeleteValue(RegistryRoot root, const std::string& path, const std::string& name) override {
        if (denied.contains(root)) return kRegAccessDenied;
        Key* key = Find(root, path);
        if (!key || key->values.erase(Lower(name)) == 0) return kRegNotFound;
        changes.push_back("delete " + key->path + " [" + name + "]");
        return kRegOk;
    }
    long DeleteKey(RegistryRoot root, const std::string& path) override {
        if (denied.contains(root)) return kRegAccessDenied;
        const std::string lower = Lower(Full(root, path));
        auto key = keys.find(lower);
        if (key == keys.end()) return kRegNotFound;
        auto child = keys.lower_bound(lower + "\\");
        if (child != keys.end() && child->first.starts_with(lower + "\\")) return kRegAccessDenied;
        changes.push_back("delete " + key->second.path);
        keys.erase(key);
        return kRegOk;
    }

    // Test set-up and inspection; `key` is a full path such as "HKCU\Software\Clients\Mail".
    void PutText(const std::string& key, const std::string& name, const std::string& text) {
        Put(key, name, {kRegSz, Utf16Le(text)});
    }
    void PutDword(const std::string& key, const std::string& name, std::uint32_t value) {
        std::string bytes;
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>(value >> shift));
        Put(key, name, {kRegDword, bytes});
    }
    void Put(const std::string& key, const std::string& name, const RegistryData& data) {
        const auto slash = key.find('\\');
        const RegistryRoot root = RootOf(key.substr(0, slash));
        const std::string path = slash == std::string::npos ? "" : key.substr(slash + 1);
        auto saved = changes;
        CreateKey(root, path);
        Find(root, path)->values[Lower(name)] = data;
        changes = saved;
    }
    bool HasKey(const std::string& key) const { return keys.contains(Lower(key)); }
    // The value as the log would show it; "(none)" when missing.
    std::string Value(const std::string& key, const std::string& name) const {
        auto k = keys.find(Lower(key));
        if (k == keys.end()) return "(none)";
        auto v = k->second.values.find(Lower(name));
        return v == k->second.values.end() ? "(none)" : Show(v->second);
    }
    // The changes that touched keys under `prefix`.
    std::vector<std::string> ChangesUnder(const std::string& prefix) const {
        std::vector<std::string> under;
        for (const auto& change : changes) {
            const auto at = change.find(' ') + 1;
            if (Lower(change.substr(at, prefix.size())) == Lower(prefix)) under.push_back(change);
        }
        return under;
    }

    static std::string Utf16Le(const std::string& text) {
        std::string bytes;
        for (char16_t u : ToUtf16(text)) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        return bytes + std::string(2, '\0');
    }

    std::vector<std::string> changes;
    std::set<RegistryRoot> denied;  // roots the user may not change
    // HKLM's 32-bit view ("HKLM32") is a tree of its own, as Wine keeps it, unless shared
    // with the 64-bit one, as Windows shares Software\Clients.
    bool sharedMachineViews = false;

private:
    struct Key {
        std::string path;
        std::map<std::string, RegistryData> values;
    };

    static std::string Lower(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return text;
    }
    std::string RootLabel(RegistryRoot root) const {
        switch (root) {
            case RegistryRoot::CurrentUser:
                return "HKCU";
            case RegistryRoot::LocalMachine:
                return "HKLM";
            case RegistryRoot::LocalMachine32:
                return sharedMachineViews ? "HKLM" : "HKLM32";
            case RegistryRoot::ClassesRoot:
                return "HKCR";
            default:
                return "HK" + std::to_string(static_cast<std::uint32_t>(root));
        }
    }
    static RegistryRoot RootOf(const std::string& label) {
        if (label == "HKLM") return RegistryRoot::LocalMachine;
        if (label == "HKLM32") return RegistryRoot::LocalMachine32;
        if (label == "HKCR") return RegistryRoot::ClassesRoot;
        return RegistryRoot::CurrentUser;
    }
    std::string Full(RegistryRoot root, const std::string& path) const {
        return path.empty() ? RootLabel(root) : RootLabel(root) + "\\" + path;
    }
    static std::string Show(const RegistryData& data) {
        if (data.type == kRegDword && data.bytes.size() == 4) {
            std::uint32_t v = 0;
            for (int i = 3; i >= 0; --i)
                v = v << 8 | static_cast<unsigned char>(data.bytes[static_cast<std::size_t>(i)]);
            return "dword:" + std::to_string(v);
        }
        std::u16string units;
        for (std::size_t i = 0; i + 1 < data.bytes.size(); i += 2)
            units.push_back(
                static_cast<char16_t>(static_cast<unsigned char>(data.bytes[i]) |
                                      static_cast<unsigned char>(data.bytes[i + 1]) << 8));
        if (!units.empty() && units.back() == u'\0') units.pop_back();
        return FromUtf16(units);
    }
    Key* Find(RegistryRoot root, const std::string& path) {
        if (path.empty())
            return &keys.try_emplace(Lower(RootLabel(root)), Key{RootLabel(root), {}})
                        .first->second;
        auto it = keys.find(Lower(Full(root, path)));
        return it == keys.end() ? nullptr : &it->second;
    }
    const Key* Find(RegistryRoot root, const std::string& path) const {
        auto it = keys.find(Lower(Full(root, path)));
        return it == keys.end() ? nullptr : &it->second;
    }

    std::map<std::string, Key> keys;  // by lower-case full path
};

}  // namespace tovela::testing

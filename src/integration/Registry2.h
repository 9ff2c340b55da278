#pragma once

#include <string>

#include "app/DebugLog.h"
#include "platform/Registry.h"

namespace tovela {

// How the trace names a root key.
std::string RegistryRootName(RegistryRoot root);

// The program's registry layer for everything that is not a stored setting. Each operation
// traces itself before it touches the registry; none reports failure beyond its result.
// Values are text: REG_SZ (and REG_EXPAND_SZ, read as written) and REG_DWORD in decimal.
class Registry2 {
public:
    Registry2(Registry& registry, DebugLog& log) : registry_(registry), log_(log) {}

    // Opens or creates the key and its missing parents.
    void CreateRegistryKey(RegistryRoot root, const std::string& key);
    // Deletes the key when it has no subkeys; otherwise, or when missing, nothing changes.
    void DeleteRegistryKey(RegistryRoot root, const std::string& key);
    void DeleteValue(RegistryRoot root, const std::string& key, const std::string& name);
    // The value as text; empty when the key or value is missing, unreadable or of another type.
    std::string GetRegValue(RegistryRoot root, const std::string& key, const std::string& name);
    // Writes into an existing key, keeping an existing value's type (a new one is REG_SZ).
    bool SetRegValue(RegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& data);

private:
    Registry& registry_;
    DebugLog& log_;
};

}  // namespace tovela

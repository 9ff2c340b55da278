#pragma once

#include "platform/Registry.h"

namespace tovela::win32 {

// The wide registry functions. Keys are opened for reading where a value is only read, so a
// user without write rights still sees machine-wide values; every change opens the key with
// full access.
class Win32Registry final : public Registry {
public:
    long CreateKey(RegistryRoot root, const std::string& path) override;
    long OpenKey(RegistryRoot root, const std::string& path) override;
    long QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                    std::size_t bufferSize, RegistryData& data) override;
    long SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                  const RegistryData& data) override;
    long DeleteValue(RegistryRoot root, const std::string& path, const std::string& name) override;
    long DeleteKey(RegistryRoot root, const std::string& path) override;
};

}  // namespace tovela::win32

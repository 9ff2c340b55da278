#pragma once

#include <string>

#include "platform/Registry.h"

namespace tovela::posix {

// The registry kept in one text file in the regedit export format (UTF-8), so a person can
// read what the program registered. Key and value names compare without regard to ASCII
// case, as in the Windows registry. Every call reads the file, and a change writes it anew.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(std::string file) : file_(std::move(file)) {}

    long CreateKey(RegistryRoot root, const std::string& path) override;
    long OpenKey(RegistryRoot root, const std::string& path) override;
    long QueryValue(RegistryRoot root, const std::string& path, const std::string& name,
                    std::size_t bufferSize, RegistryData& data) override;
    long SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                  const RegistryData& data) override;
    long DeleteValue(RegistryRoot root, const std::string& path, const std::string& name) override;
    long DeleteKey(RegistryRoot root, const std::string& path) override;

private:
    std::string file_;
};

}  // namespace tovela::posix

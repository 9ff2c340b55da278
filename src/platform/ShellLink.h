#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tovela {

// The shell's link object (ShellLink with its IShellLinkW and IPersistFile faces). Results
// are HRESULTs: 0 for success, negative for failure.
class ShellLink {
public:
    virtual ~ShellLink() = default;
    virtual std::string GetPath() = 0;
    virtual std::int32_t SetPath(const std::string& path) = 0;
    virtual std::string GetWorkingDirectory() = 0;
    virtual std::int32_t SetWorkingDirectory(const std::string& folder) = 0;
    virtual std::string GetDescription() = 0;
    virtual std::int32_t SetDescription(const std::string& text) = 0;
    virtual std::string GetArguments() = 0;
    virtual std::int32_t SetArguments(const std::string& arguments) = 0;
    virtual int GetShowCmd() = 0;
    virtual std::int32_t SetShowCmd(int showCmd) = 0;
    virtual std::uint16_t GetHotkey() = 0;
    virtual std::int32_t SetHotkey(std::uint16_t hotkey) = 0;
    virtual std::int32_t SetIconLocation(const std::string& path, int index) = 0;
    // IPersistFile::Save with fRemember: the file becomes the link's current file.
    virtual std::int32_t Save(const std::string& file) = 0;
    // IPersistFile::Load for reading.
    virtual std::int32_t Load(const std::string& file) = 0;
    // IShellLinkW::Resolve with SLR_* flags; `window` is the owner of any user interface.
    virtual std::int32_t Resolve(std::uintptr_t window, std::uint32_t flags) = 0;
};

class ShellLinkFactory {
public:
    virtual ~ShellLinkFactory() = default;
    // A new link object; null when the platform cannot make one.
    virtual std::unique_ptr<ShellLink> Create() = 0;
};

}  // namespace tovela

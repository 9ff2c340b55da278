#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovela {

// What the desktop integration asks of the system besides the registry and shell links.
class ShellEnvironment {
public:
    virtual ~ShellEnvironment() = default;
    // The shell's IsUserAnAdmin.
    virtual bool IsUserAnAdmin() = 0;
    // The process token's elevation type (1 default, 2 full, 3 limited); nothing when it
    // cannot be read.
    virtual std::optional<int> TokenElevationType() = 0;
    // The folder of FOLDERID_SendTo, without a trailing separator; empty when unknown.
    virtual std::string SendToFolder() = 0;
    // The process environment as "NAME=value" entries, in the system's order.
    virtual std::vector<std::string> Environment() = 0;
    // The path names an existing folder.
    virtual bool IsFolder(const std::string& path) = 0;
    // The file's length can be read.
    virtual bool FileExists(const std::string& path) = 0;
    // DeleteFileW: 0, or the system's error code.
    virtual std::uint32_t RemoveFile(const std::string& path) = 0;
    // Starts a program without waiting for it, its window hidden; false when it did not start.
    virtual bool StartHidden(const std::string& program, const std::string& commandLine) = 0;
    // ShellExecute "open" of an address (an ms-settings: page among them); false when
    // nothing opened it.
    virtual bool OpenUri(const std::string& uri) = 0;
    // SendMessageTimeout(HWND_BROADCAST, WM_SETTINGCHANGE, 0, area, SMTO_ABORTIFHUNG, 10).
    virtual void BroadcastSettingChange(const std::string& area) = 0;
};

}  // namespace tovela

#pragma once

#include "platform/ShellEnvironment.h"

namespace tovela::win32 {

class Win32ShellEnvironment final : public ShellEnvironment {
public:
    bool IsUserAnAdmin() override;
    std::optional<int> TokenElevationType() override;
    std::string SendToFolder() override;
    std::vector<std::string> Environment() override;
    bool IsFolder(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::uint32_t RemoveFile(const std::string& path) override;
    bool StartHidden(const std::string& program, const std::string& commandLine) override;
    bool OpenUri(const std::string& uri) override;
    void BroadcastSettingChange(const std::string& area) override;
};

}  // namespace tovela::win32

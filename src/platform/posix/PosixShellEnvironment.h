#pragma once

#include <string>

#include "platform/ShellEnvironment.h"

namespace tovela::posix {

// Linux has no administrators in the Windows sense, no default-apps settings and nobody to
// tell of a changed setting: those answer no or do nothing. The Send To folder is one in
// the config folder, made on first use.
class PosixShellEnvironment final : public ShellEnvironment {
public:
    explicit PosixShellEnvironment(std::string sendToFolder)
        : sendToFolder_(std::move(sendToFolder)) {}

    bool IsUserAnAdmin() override { return false; }
    std::optional<int> TokenElevationType() override { return std::nullopt; }
    std::string SendToFolder() override;
    std::vector<std::string> Environment() override;
    bool IsFolder(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::uint32_t RemoveFile(const std::string& path) override;
    bool StartHidden(const std::string&, const std::string&) override { return false; }
    bool OpenUri(const std::string&) override { return false; }
    void BroadcastSettingChange(const std::string&) override {}

private:
    std::string sendToFolder_;
};

}  // namespace tovela::posix

#pragma once

#include "platform/FileSystem.h"
#include "platform/UserEnvironment.h"

namespace tovela::win32 {

// Files through the wide file functions; shell links through IShellLinkW.
class Win32FileSystem final : public FileSystem {
public:
    std::optional<FileInfo> QueryAttributes(const std::string& path) override;
    std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override;
    std::unique_ptr<FileReader> OpenForReading(const std::string& path) override;
    std::unique_ptr<FileWriter> CreateForWriting(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    std::string TempFolder() override;  // TEMP, or the system's temporary folder
    std::string ShortcutTarget(const std::string& path) override;
};

class Win32UserEnvironment final : public UserEnvironment {
public:
    std::string DecimalSeparator() override;
    bool IsKeyDown(int virtualKey) override;
};

}  // namespace tovela::win32

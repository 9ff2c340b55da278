#pragma once

#include "platform/FileSystem.h"
#include "platform/UserEnvironment.h"

namespace tovela::posix {

// Files on Linux. A name starting with "." counts as hidden; nothing is a system file;
// symbolic links are followed, but a link to a folder is reported as a link. Linux has no
// shell links.
class PosixFileSystem final : public FileSystem {
public:
    std::optional<FileInfo> QueryAttributes(const std::string& path) override;
    std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override;
    std::unique_ptr<FileReader> OpenForReading(const std::string& path) override;
    std::unique_ptr<FileWriter> CreateForWriting(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    std::string TempFolder() override;  // TMPDIR, or /tmp
    std::string ShortcutTarget(const std::string& path) override;
};

// The decimal separator of the locale the environment names (LC_ALL, LC_NUMERIC, LANG);
// no key is ever held down.
class PosixUserEnvironment final : public UserEnvironment {
public:
    std::string DecimalSeparator() override;
    bool IsKeyDown(int virtualKey) override;
};

}  // namespace tovela::posix

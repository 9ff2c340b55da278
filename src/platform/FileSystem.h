#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace tovela {

// What GetFileAttributesEx and FindFirstFile tell about a file or a folder.
struct FileInfo {
    bool folder = false;
    bool hidden = false;
    bool system = false;
    bool readOnly = false;
    // A symbolic link or junction to a folder; packing does not enter it, as it may lead
    // back up the tree.
    bool link = false;
    std::uint64_t size = 0;
    LocalDateTime modified;  // on the local wall clock
};

struct FolderEntry {
    std::string name;
    FileInfo info;
};

// A file opened for reading; closed when destroyed.
class FileReader {
public:
    virtual ~FileReader() = default;
    // The number of bytes read into the buffer, 0 only at the end of the file; nothing when
    // the read failed.
    virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;
};

// A file being written. Closing tells whether everything reached the file.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool Write(std::string_view bytes) = 0;
    virtual bool Close() = 0;
};

// The files the uploads read and the archives they write.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Nothing when the path does not exist or cannot be examined.
    virtual std::optional<FileInfo> QueryAttributes(const std::string& path) = 0;
    // Every entry of a folder, hidden and system ones included, without "." and "..";
    // nothing when the folder cannot be listed.
    virtual std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) = 0;
    // Null when the file cannot be opened.
    virtual std::unique_ptr<FileReader> OpenForReading(const std::string& path) = 0;
    // Creates the file, replacing one of the same name; null when it cannot.
    virtual std::unique_ptr<FileWriter> CreateForWriting(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Creates one folder (its parent must exist); true when it exists afterwards. Folders
    // the program makes are readable by the user alone.
    virtual bool CreateFolder(const std::string& path) = 0;
    // Removes an empty folder.
    virtual bool RemoveFolder(const std::string& path) = 0;
    // The user's folder for temporary files (TEMP), without a trailing separator.
    virtual std::string TempFolder() = 0;
    // The path a shell link (.lnk) points to; empty when the file is none or has no target.
    virtual std::string ShortcutTarget(const std::string& path) = 0;
};

}  // namespace tovela

#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/BackgroundWork.h"
#include "platform/FileSystem.h"
#include "platform/UserEnvironment.h"

namespace tovela::testing {

// Files in memory under Windows paths ("C:\Docs\a.txt"). Folders are entries of their own;
// a folder lists the entries whose parent it is.
class FakeFileSystem final : public FileSystem {
public:
    struct Entry {
        std::string bytes;
        FileInfo info;
        bool unreadable = false;                 // cannot be opened
        std::optional<std::size_t> readFailsAt;  // a read beyond this offset fails
    };

    Entry& AddFile(const std::string& path, std::string bytes) {
        Entry& entry = entries[path];
        entry.info = {};
        entry.info.size = bytes.size();
        entry.info.modified = {2026, 12, 6, 7, 51, 16};
        entry.bytes = std::move(bytes);
        return entry;
    }
    Entry& AddFolder(const std::string& path) {
        Entry& entry = entries[path];
        entry.info = {};
        entry.info.folder = true;
        entry.info.modified = {2026, 12, 6, 7, 51, 16};
        return entry;
    }

    // "C:\a\b.txt" -> "C:\a"; a drive's root keeps its backslash ("D:\x" -> "D:\").
    static std::string ParentOf(const std::string& path) {
        const std::size_t cut = path.find_last_of('\\', path.size() - 2);
        if (cut == std::string::npos) return {};
        std::string parent = path.substr(0, cut);
        if (parent.size() == 2 && parent[1] == ':') parent += '\\';
        return parent;
    }

    std::optional<FileInfo> QueryAttributes(const std::string& path) override {
        const auto found = entries.find(path);
        if (found == entries.end()) return std::nullopt;
        return found->second.info;
    }

    std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override {
        ++listings;
        const auto found = entries.find(folder);
        if (found == entries.end() || !found->second.info.folder || found->second.unreadable)
            return std::nullopt;
        std::vector<FolderEntry> list;
        for (const auto& [path, entry] : entries) {
            if (path != folder && ParentOf(path) == folder)
                list.push_back({path.substr(path.find_last_of('\\') + 1), entry.info});
        }
        // Not sorted: packing must not depend on the order the system lists.
        std::reverse(list.begin(), list.end());
        return list;
    }

    std::unique_ptr<FileReader> OpenForReading(const std::string& path) override {
        if (onOpen) onOpen(path);
        const auto found = entries.find(path);
        if (found == entries.end() || found->second.info.folder || found->second.unreadable)
            return nullptr;
        opened.push_back(path);
        return std::make_unique<Reader>(*this, path);
    }

    std::unique_ptr<FileWriter> CreateForWriting(const std::string& path) override {
        if (refuseCreate) return nullptr;
        AddFile(path, {});
        return std::make_unique<Writer>(*this, path);
    }

    bool RemoveFile(const std::string& path) override {
        removed.push_back(path);
        return entries.erase(path) > 0;
    }

    bool CreateFolder(const std::string& path) override {
        if (entries.contains(path)) return entries[path].info.folder;
        AddFolder(path);
        return true;
    }
    bool RemoveFolder(const std::string& path) override {
        const auto found = entries.find(path);
        if (found == entries.end() || !found->second.info.folder) return false;
        for (const auto& [other, entry] : entries) {
            if (ParentOf(other) == path && other != path) return false;
        }
        entries.erase(found);
        return true;
    }

    std::string TempFolder() override { return temp; }

    std::string ShortcutTarget(const std::string& path) override {
        const auto found = shortcuts.find(path);
        return found == shortcuts.end() ? std::string() : found->second;
    }

    std::map<std::string, Entry> entries;
    std::map<std::string, std::string> shortcuts;
    std::string temp = "C:\\Temp";
    bool refuseCreate = false;
    std::optional<std::size_t> writeFailsAt;  // writing beyond this many bytes fails
    std::function<void(const std::string&)> onOpen;
    std::vector<std::string> opened;
    std::vector<std::string> removed;
    int listings = 0;

private:
    class Reader final : public FileReader {
    public:
        Reader(FakeFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
        std::optional<std::size_t> Read(std::span<char> buffer) override {
            const auto found = files_.entries.find(path_);
            // A file deleted while open reads as it was, like on Windows; the test changes
            // its bytes to make it shrink or grow.
            if (found == files_.entries.end()) return std::nullopt;
            const Entry& entry = found->second;
            if (entry.readFailsAt && offset_ + buffer.size() > *entry.readFailsAt)
                return std::nullopt;
            if (offset_ >= entry.bytes.size()) return 0;
            const std::size_t count = std::min(buffer.size(), entry.bytes.size() - offset_);
            std::copy_n(entry.bytes.data() + offset_, count, buffer.data());
            offset_ += count;
            return count;
        }

    private:
        FakeFileSystem& files_;
        std::string path_;
        std::size_t offset_ = 0;
    };

    class Writer final : public FileWriter {
    public:
        Writer(FakeFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
        bool Write(std::string_view bytes) override {
            Entry& entry = files_.entries[path_];
            if (files_.writeFailsAt && entry.bytes.size() + bytes.size() > *files_.writeFailsAt)
                return false;
            entry.bytes.append(bytes);
            entry.info.size = entry.bytes.size();
            return true;
        }
        bool Close() override { return true; }

    private:
        FakeFileSystem& files_;
        std::string path_;
    };
};

class FakeUserEnvironment final : public UserEnvironment {
public:
    std::string DecimalSeparator() override { return decimalSeparator; }
    bool IsKeyDown(int virtualKey) override {
        return (shiftDown && virtualKey == kVkShift) || (controlDown && virtualKey == kVkControl);
    }
    std::string decimalSeparator = ".";
    bool shiftDown = false;
    bool controlDown = false;
};

// Work runs at once on the calling thread. A job may claim to be still running for a few
// polls, calling `onPoll` each time, so a test can watch what happens while one waits.
class FakeBackgroundWork final : public BackgroundWork {
public:
    std::unique_ptr<BackgroundJob> Start(std::function<void()> work) override {
        ++jobs;
        work();
        return std::make_unique<Job>(*this);
    }
    int pendingPolls = 0;
    std::function<void()> onPoll;
    int jobs = 0;

private:
    class Job final : public BackgroundJob {
    public:
        explicit Job(FakeBackgroundWork& owner) : owner_(owner), polls_(owner.pendingPolls) {}
        std::uintptr_t DoneHandle() override { return 0; }
        bool Done() override {
            if (polls_ == 0) return true;
            --polls_;
            if (owner_.onPoll) owner_.onPoll();
            return false;
        }

    private:
        FakeBackgroundWork& owner_;
        int polls_;
    };
};

}  // namespace tovela::testing

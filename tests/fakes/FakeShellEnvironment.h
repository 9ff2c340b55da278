#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ShellEnvironment.h"
#include "platform/ShellLink.h"

namespace tovela::testing {

// A shortcut file's contents.
struct FakeLinkFile {
    std::string path, arguments, workingDirectory, description, iconPath;
    int iconIndex = 0;
    int showCmd = 0;
    std::uint16_t hotkey = 0;
};

// The file system, environment and shell as the integration sees them: folders and files
// exist when a test says so, shortcuts are saved as FakeLinkFile, and everything started,
// opened or broadcast is recorded.
class FakeShellEnvironment final : public ShellEnvironment {
public:
    bool IsUserAnAdmin() override { return admin; }
    std::optional<int> TokenElevationType() override { return elevationType; }
    std::string SendToFolder() override { return sendToFolder; }
    std::vector<std::string> Environment() override { return environment; }
    bool IsFolder(const std::string& path) override {
        return folders.contains(path) || folders.contains(path.substr(0, path.size() - 1));
    }
    bool FileExists(const std::string& path) override {
        return files.contains(path) || links.contains(path);
    }
    std::uint32_t RemoveFile(const std::string& path) override {
        deleted.push_back(path);
        if (auto error = deleteErrors.find(path); error != deleteErrors.end()) return error->second;
        if (files.erase(path) + links.erase(path) == 0) return 2;
        return 0;
    }
    bool StartHidden(const std::string& program, const std::string& commandLine) override {
        started.push_back(program + " | " + commandLine);
        return true;
    }
    bool OpenUri(const std::string& target) override {
        opened.push_back(target);
        return openSucceeds;
    }
    void BroadcastSettingChange(const std::string& area) override { broadcasts.push_back(area); }

    // The folder part of a path, up to its last separator.
    static std::string FolderOf(const std::string& path) {
        const auto slash = path.find_last_of("\\/");
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }

    bool admin = false;
    std::optional<int> elevationType = 1;
    std::string sendToFolder;
    std::vector<std::string> environment;
    std::set<std::string> folders;
    std::set<std::string> files;
    std::map<std::string, FakeLinkFile> links;
    std::map<std::string, std::uint32_t> deleteErrors;
    std::vector<std::string> deleted;
    std::vector<std::string> started;
    std::vector<std::string> opened;
    bool openSucceeds = true;
    std::vector<std::string> broadcasts;
    int linkSaves = 0;
};

// Shell links over FakeShellEnvironment's files: saving needs the folder to exist.
class FakeShellLinks final : public ShellLinkFactory {
public:
    class Link final : public ShellLink {
    public:
        explicit Link(FakeShellEnvironment& shell) : shell_(shell) {}
        std::string GetPath() override { return data_.path; }
        std::int32_t SetPath(const std::string& v) override { return Set(data_.path, v); }
        std::string GetWorkingDirectory() override { return data_.workingDirectory; }
        std::int32_t SetWorkingDirectory(const std::string& v) override {
            return Set(data_.workingDirectory, v);
        }
        std::string GetDescription() override { return data_.description; }
        std::int32_t SetDescription(const std::string& v) override {
            return Set(data_.description, v);
        }
        std::string GetArguments() override { return data_.arguments; }
        std::int32_t SetArguments(const std::string& v) override { return Set(data_.arguments, v); }
        int GetShowCmd() override { return data_.showCmd; }
        std::int32_t SetShowCmd(int v) override {
            data_.showCmd = v;
            return 0;
        }
        std::uint16_t GetHotkey() override { return data_.hotkey; }
        std::int32_t SetHotkey(std::uint16_t v) override {
            data_.hotkey = v;
            return 0;
        }
        std::int32_t SetIconLocation(const std::string& path, int index) override {
            data_.iconPath = path;
            data_.iconIndex = index;
            return 0;
        }
        std::int32_t Save(const std::string& file) override {
            if (!shell_.folders.contains(FakeShellEnvironment::FolderOf(file))) return kFail;
            shell_.links[file] = data_;
            ++shell_.linkSaves;
            return 0;
        }
        std::int32_t Load(const std::string& file) override {
            auto it = shell_.links.find(file);
            if (it == shell_.links.end()) return kFail;
            data_ = it->second;
            return 0;
        }
        std::int32_t Resolve(std::uintptr_t, std::uint32_t) override { return 0; }

    private:
        static constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);
        static std::int32_t Set(std::string& field, const std::string& value) {
            field = value;
            return 0;
        }
        FakeShellEnvironment& shell_;
        FakeLinkFile data_;
    };

    std::unique_ptr<ShellLink> Create() override { return std::make_unique<Link>(*shell); }
    FakeShellEnvironment* shell = nullptr;
};

}  // namespace tovela::testing

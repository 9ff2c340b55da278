#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ShellLink.h"

namespace tovela {

// One shell link, made on first use. Failures come back as numbers: 0 for success, 53
// (file not found) for saving without a file name, else the platform's result.
class cShellLink {
public:
    static constexpr int kFileNotFound = 53;
    static constexpr int kNoLink = 429;  // the link object could not be made

    explicit cShellLink(ShellLinkFactory& factory) : factory_(factory) {}

    std::string Path();
    int SetPath(const std::string& path);
    std::string WorkingDirectory();
    int SetWorkingDirectory(const std::string& folder);
    std::string Description();
    int SetDescription(const std::string& text);
    std::string Arguments();
    int SetArguments(const std::string& arguments);
    int DisplayMode();
    int SetDisplayMode(int showCmd);
    std::uint16_t HotKey();
    int SetHotKey(std::uint16_t hotkey);
    // Index `index` of the link's own target's icons.
    int SetIcon(int index);
    // The first icon of another file.
    int SetIcon(const std::string& file);
    // Stores the link in `linkFile`, which becomes its current file.
    int Save(const std::string& linkFile);
    // Loads the link from `linkFile` and lets the platform resolve it; the time-out is
    // not used.
    int Resolve(const std::string& linkFile, std::uint32_t flags, std::uintptr_t window,
                int timeout = 0);

private:
    ShellLink* Link();

    ShellLinkFactory& factory_;
    std::unique_ptr<ShellLink> link_;
};

}  // namespace tovela

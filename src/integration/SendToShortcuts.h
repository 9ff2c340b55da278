#pragma once

#include <optional>
#include <string>

#include "app/DebugLog.h"
#include "platform/ShellEnvironment.h"
#include "platform/ShellLink.h"
#include "platform/SystemInfo.h"

namespace tovela {

inline constexpr const char* kDraftsShortcutName = "Tovelaの下書きフォルダ.lnk";
inline constexpr const char* kBriefcaseShortcutName = "Tovela Briefcase.lnk";

// The program's two shortcuts in the Explorer's Send To menu: files sent to the drafts one
// become a new draft, files sent to the briefcase one go to the account's briefcase.
class SendToShortcuts {
public:
    SendToShortcuts(ShellEnvironment& shell, ShellLinkFactory& links, SystemInfo& system,
                    std::string programFolder, DebugLog& log);

    // Creates or repairs the shortcuts (modes 0 and 1) or deletes them (mode 2). The
    // briefcase shortcut goes when the account may not use the briefcase; before a login
    // has told (`briefcaseRight` empty) it is kept, as the login answer removes it if need be.
    void Update(int mode, std::optional<bool> briefcaseRight);
    // The folder of the Send To menu, with a trailing separator; empty before the first
    // update.
    const std::string& SendToFolder() const { return sSendToFolder_; }
    void DeleteBriefcaseShortcut();

private:
    void ChooseSendToFolder();
    // Points the link at the program unless it already does.
    void Repair(const std::string& linkFile, const std::string& arguments);

    ShellEnvironment& shell_;
    ShellLinkFactory& links_;
    SystemInfo& system_;
    std::string folder_;
    std::string exe_;
    DebugLog& log_;
    std::string sSendToFolder_;
};

}  // namespace tovela

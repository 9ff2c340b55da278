#include "integration/SendToShortcuts.h"

#include "integration/OfficeAddins.h"
#include "integration/ProgramFiles.h"
#include "integration/cShellLink.h"
#include "settings/SettingsIntegration.h"

namespace tovela {
namespace {

constexpr std::uint32_t kResolveWithoutUi = 1;  // SLR_NO_UI
constexpr int kShowNormal = 1;
constexpr const char* kDescription = "Tovela Notifier";

}  // namespace

SendToShortcuts::SendToShortcuts(ShellEnvironment& shell, ShellLinkFactory& links,
                                 SystemInfo& system, std::string programFolder, DebugLog& log)
    : shell_(shell),
      links_(links),
      system_(system),
      folder_(WithTrailingSeparator(programFolder)),
      exe_(folder_ + kProgramFileName),
      log_(log) {}

void SendToShortcuts::ChooseSendToFolder() {
    // The shell knows where the Send To menu reads from, whatever the profile layout.
    const std::string known = shell_.SendToFolder();
    sSendToFolder_ = !known.empty() ? WithTrailingSeparator(known)
                                    : GetEnvValue(shell_, "USERPROFILE") + "\\SendTo\\";
    const OsVersion version = system_.GetVersion();
    log_.Write("SaveTNSettings.osVersion.dwPlatformId: " + std::to_string(version.platformId));
    log_.Write("SaveTNSettings.osVersion.dwMajorVersion: " + std::to_string(version.major));
    log_.Write("SaveTNSettings.SendToFolder: " + sSendToFolder_);
    log_.Write(std::string("SaveTNSettings.SendToFolder.Exists? : ") +
               (shell_.IsFolder(sSendToFolder_) ? "True" : "False"));
}

void SendToShortcuts::Repair(const std::string& linkFile, const std::string& arguments) {
    cShellLink link(links_);
    // A missing file resolves to an empty target, so the shortcut is made anew.
    link.Resolve(linkFile, kResolveWithoutUi, 0);
    if (link.Path() == exe_) return;
    cShellLink fresh(links_);
    fresh.SetPath(exe_);
    fresh.SetIcon(0);
    fresh.SetArguments(arguments);
    fresh.SetDescription(kDescription);
    fresh.SetDisplayMode(kShowNormal);
    fresh.SetWorkingDirectory(WithoutTrailingSeparator(folder_));
    fresh.Save(linkFile);
}

void SendToShortcuts::Update(int mode, std::optional<bool> briefcaseRight) {
    ChooseSendToFolder();
    const std::string drafts = sSendToFolder_ + kDraftsShortcutName;
    const std::string briefcase = sSendToFolder_ + kBriefcaseShortcutName;
    log_.Write("SaveTNSettings.sTNShortcut: " + drafts);

    if (mode == kSaveAtShutdown) {
        shell_.RemoveFile(drafts);
        shell_.RemoveFile(briefcase);
        return;
    }
    if (!shell_.FileExists(drafts)) {
        Repair(drafts, "");
        Repair(briefcase, "/briefcase");
        return;
    }
    Repair(drafts, "");
    if (briefcaseRight.value_or(true)) {
        Repair(briefcase, "/briefcase");
    } else {
        shell_.RemoveFile(briefcase);
    }
}

void SendToShortcuts::DeleteBriefcaseShortcut() {
    if (!sSendToFolder_.empty()) shell_.RemoveFile(sSendToFolder_ + kBriefcaseShortcutName);
}

}  // namespace tovela

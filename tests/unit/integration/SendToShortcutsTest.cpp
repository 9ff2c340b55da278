#include "integration/SendToShortcuts.h"

#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "integration/OfficeAddins.h"
#include "settings/SettingsIntegration.h"

namespace tovela::testing {
namespace {

const std::string kFolder = "C:\\Apps\\Tovela\\";
const std::string kExe = "C:\\Apps\\Tovela\\TovelaNotifier.exe";
const std::string kSendTo = "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Windows\\SendTo";
const std::string kDrafts = kSendTo + "\\Tovelaの下書きフォルダ.lnk";
const std::string kBriefcase = kSendTo + "\\Tovela Briefcase.lnk";

class SendToShortcutsTest : public ::testing::Test {
protected:
    SendToShortcutsTest() {
        shell.sendToFolder = kSendTo;
        shell.folders.insert(kSendTo);
        links.shell = &shell;
    }

    FakeShellEnvironment shell;
    FakeShellLinks links;
    FakeSystemInfo system;
    RecordingDebugLog log;
    SendToShortcuts shortcuts{shell, links, system, kFolder, log};
};

TEST_F(SendToShortcutsTest, StartUpMakesBothShortcutsPointingAtTheProgram) {
    shortcuts.Update(kSaveAtStartup, std::nullopt);
    for (const auto& [file, arguments] :
         {std::pair{kDrafts, std::string()}, std::pair{kBriefcase, std::string("/briefcase")}}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(shell.links.contains(file));
        const FakeLinkFile& link = shell.links.at(file);
        EXPECT_EQ(link.path, kExe);
        EXPECT_EQ(link.arguments, arguments);
        EXPECT_EQ(link.workingDirectory, "C:\\Apps\\Tovela");
        EXPECT_EQ(link.description, "Tovela Notifier");
        EXPECT_EQ(link.showCmd, 1);
        EXPECT_EQ(link.iconPath, kExe);
        EXPECT_EQ(link.iconIndex, 0);
    }
    EXPECT_EQ(shortcuts.SendToFolder(), kSendTo + "\\");
    EXPECT_TRUE(log.Has("SaveTNSettings.SendToFolder: " + kSendTo + "\\"));
    EXPECT_TRUE(log.Has("SaveTNSettings.SendToFolder.Exists? : True"));
    EXPECT_TRUE(log.Has("SaveTNSettings.sTNShortcut: " + kDrafts));
}

TEST_F(SendToShortcutsTest, RepairsOnlyAShortcutThatPointsElsewhere) {
    shortcuts.Update(kSaveAtStartup, true);
    shell.links[kDrafts].path = "D:\\Old\\TovelaNotifier.exe";
    shell.links[kBriefcase].description = "kept as it is";
    const int saves = shell.linkSaves;
    shortcuts.Update(kSaveOnApply, true);
    EXPECT_EQ(shell.links.at(kDrafts).path, kExe);
    EXPECT_EQ(shell.links.at(kBriefcase).description, "kept as it is");
    EXPECT_EQ(shell.linkSaves, saves + 1);
}

TEST_F(SendToShortcutsTest, BriefcaseShortcutFollowsTheAccountsRight) {
    shortcuts.Update(kSaveAtStartup, std::nullopt);
    shortcuts.Update(kSaveOnApply, false);
    EXPECT_FALSE(shell.links.contains(kBriefcase));
    EXPECT_TRUE(shell.links.contains(kDrafts));
    shortcuts.Update(kSaveOnApply, std::nullopt);
    EXPECT_TRUE(shell.links.contains(kBriefcase)) << "an unknown right keeps the shortcut";
    shortcuts.DeleteBriefcaseShortcut();
    EXPECT_FALSE(shell.links.contains(kBriefcase));
    shortcuts.Update(kSaveOnApply, true);
    EXPECT_EQ(shell.links.at(kBriefcase).arguments, "/briefcase");
}

TEST_F(SendToShortcutsTest, ShutdownDeletesBothAndCreatesNone) {
    shortcuts.Update(kSaveAtStartup, true);
    shortcuts.Update(kSaveAtShutdown, true);
    EXPECT_TRUE(shell.links.empty());
    const int saves = shell.linkSaves;
    shortcuts.Update(kSaveAtShutdown, true);
    EXPECT_TRUE(shell.links.empty());
    EXPECT_EQ(shell.linkSaves, saves);
}

TEST_F(SendToShortcutsTest, WithoutTheKnownFolderTheProfilesSendToIsUsedAndMayBeMissing) {
    shell.sendToFolder.clear();
    shell.environment = {"userprofile=C:\\Users\\u"};
    shortcuts.Update(kSaveAtStartup, true);
    EXPECT_EQ(shortcuts.SendToFolder(), "C:\\Users\\u\\SendTo\\");
    EXPECT_TRUE(log.Has("SaveTNSettings.SendToFolder.Exists? : False"));
    EXPECT_TRUE(shell.links.empty()) << "saving into a missing folder fails quietly";
}

TEST(OfficeAddinsTest, RemovesTheAddinsAndNamesALockedOne) {
    FakeShellEnvironment shell;
    RecordingDebugLog log;
    const std::string roaming = "C:\\Users\\u\\AppData\\Roaming";
    shell.environment = {"Path=C:\\Windows", "AppData=" + roaming, "APPDATA=ignored"};
    // Word's French start-up folder exists; "Startup" is a file, not a folder.
    shell.files.insert(roaming + "\\Microsoft\\Word\\Startup");
    shell.folders.insert(roaming + "\\Microsoft\\Word\\Démarrage");
    shell.folders.insert(roaming + "\\Microsoft\\Complementos");
    const std::string xla = roaming + "\\Microsoft\\Excel\\XLSTART\\TovelaSender.xla";
    const std::string dot = roaming + "\\Microsoft\\Word\\Démarrage\\TovelaSender.dot";
    const std::string ppa = roaming + "\\Microsoft\\Complementos\\TovelaSender.ppa";
    shell.files.insert({xla, dot, ppa});
    shell.deleteErrors[xla] = 32;  // Excel has it open

    EXPECT_EQ(GetEnvValue(shell, "appdata"), roaming);
    EXPECT_EQ(GetEnvValue(shell, "APPDAT"), "");
    std::vector<std::string> messages;
    RemoveOldAddins(shell, log, [&](const std::string& text, int style, const std::string& title) {
        messages.push_back(text + "|" + std::to_string(style) + "|" + title);
    });
    EXPECT_EQ(messages,
              std::vector<std::string>{"Cannot delete\r\n" + xla +
                                       "\r\nPermission Denied. Exit MS Office first|48|"});
    EXPECT_EQ(shell.deleted, (std::vector<std::string>{xla, dot, ppa}));
    EXPECT_TRUE(shell.files.contains(xla));
    EXPECT_FALSE(shell.files.contains(dot));
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"GetWordStartupFolder.Enter", "GetWordStartupFolder.Exit",
                                        "GetAddinsFolder.Enter", "GetAddinsFolder.Exit"}));

    // Without a profile folder nothing is looked for at the drive's root.
    shell.environment.clear();
    shell.deleted.clear();
    RemoveOldAddins(shell, log, [](const std::string&, int, const std::string&) {});
    EXPECT_TRUE(shell.deleted.empty());
}

}  // namespace
}  // namespace tovela::testing

#include "platform/posix/FileRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "backend/RegistryConformance.h"
#include "platform/posix/PosixShellEnvironment.h"
#include "platform/posix/TextShellLinks.h"

namespace tovela::posix {
namespace {

namespace fs = std::filesystem;

class PosixIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tovela-registry-" + std::to_string(getpid()));
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string Text(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path folder;
};

TEST_F(PosixIntegrationTest, FileRegistryBehavesAsTheRegistryAndReadsAsAnExport) {
    const fs::path file = folder / "NotificadorTovela" / "registry.reg";
    FileRegistry registry(file.string());
    testing::CheckRegistryConformance(registry, "Software\\TovelaNotifierTest");

    NullDebugLog log;
    Registry2 reg(registry, log);
    const std::string command = "Software\\Classes\\mailto\\shell\\open\\command";
    reg.CreateRegistryKey(RegistryRoot::CurrentUser, command);
    reg.SetRegValue(RegistryRoot::CurrentUser, command, "", "\"/opt/t/TovelaNotifier.exe\" %1");
    ASSERT_EQ(registry.SetValue(RegistryRoot::CurrentUser, command, "Flag",
                                {kRegDword, std::string("\x01\0\0\0", 4)}),
              kRegOk);
    EXPECT_EQ(Text(file),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes\\mailto]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes\\mailto\\shell]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes\\mailto\\shell\\open]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes\\mailto\\shell\\open\\command]\n"
              "@=\"\\\"/opt/t/TovelaNotifier.exe\\\" %1\"\n"
              "\"Flag\"=dword:00000001\n");
    EXPECT_EQ((fs::status(file).permissions() & fs::perms::all),
              fs::perms::owner_read | fs::perms::owner_write);
    // A text with a line break is kept exactly, in hex.
    reg.SetRegValue(RegistryRoot::CurrentUser, command, "two", "a\r\nb");
    FileRegistry reread(file.string());
    Registry2 again(reread, log);
    EXPECT_EQ(again.GetRegValue(RegistryRoot::CurrentUser, command, "TWO"), "a\r\nb");
    EXPECT_EQ(again.GetRegValue(RegistryRoot::CurrentUser, command, "flag"), "1");
}

TEST_F(PosixIntegrationTest, TextShortcutsRoundTripAndFilesAnswerAsOnWindows) {
    PosixShellEnvironment shell((folder / "SendTo").string());
    EXPECT_EQ(shell.SendToFolder(), (folder / "SendTo").string());
    EXPECT_TRUE(shell.IsFolder((folder / "SendTo").string()));
    EXPECT_FALSE(shell.FileExists((folder / "SendTo").string())) << "a folder is not a file";
    EXPECT_FALSE(shell.IsUserAnAdmin());

    const std::string lnk = (folder / "SendTo" / "Tovela Briefcase.lnk").string();
    TextShellLinks links;
    auto link = links.Create();
    link->SetPath("/opt/t/TovelaNotifier.exe");
    link->SetArguments("/briefcase");
    link->SetShowCmd(1);
    link->SetIconLocation("/opt/t/TovelaNotifier.exe", 0);
    EXPECT_LT(link->SetDescription("two\nlines"), 0);
    ASSERT_EQ(link->Save(lnk), 0);
    EXPECT_TRUE(shell.FileExists(lnk));

    auto loaded = links.Create();
    EXPECT_LT(loaded->Load(lnk + ".missing"), 0);
    ASSERT_EQ(loaded->Load(lnk), 0);
    EXPECT_EQ(loaded->GetPath(), "/opt/t/TovelaNotifier.exe");
    EXPECT_EQ(loaded->GetArguments(), "/briefcase");
    EXPECT_EQ(loaded->GetShowCmd(), 1);
    EXPECT_EQ(loaded->GetDescription(), "");

    EXPECT_EQ(shell.RemoveFile(lnk), 0u);
    EXPECT_EQ(shell.RemoveFile(lnk), 2u);
    EXPECT_EQ(shell.RemoveFile((folder / "SendTo").string()), 5u);
}

}  // namespace
}  // namespace tovela::posix

// The setup program under Wine, in a fresh prefix of its own: a silent per-user install,
// the program started from the Start menu entry's target, and a silent uninstall that ends
// the program and leaves nothing of ours behind.
//
// Run by scripts/test-windows.sh with WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD set.
#include <gtest/gtest.h>

#include "wine/WinePrefix.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InstallerWineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* build = std::getenv("TOVELA_WINDOWS_BUILD");
        const char* prefix = std::getenv("WINEPREFIX");
        if (!build || !prefix || !std::getenv("DISPLAY"))
            GTEST_SKIP() << "WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD are not set";
        for (const auto& entry : fs::directory_iterator(build)) {
            if (entry.path().filename().string().ends_with("-setup.exe")) setup = entry.path();
        }
        ASSERT_FALSE(setup.empty()) << "no setup program in " << build;
        probe = (fs::path(build) / "tests" / "tovela-wine-linkprobe.exe").string();
        wine = std::make_unique<WinePrefix>(fs::path(prefix).parent_path() / "installer");
        ASSERT_TRUE(wine->Ready()) << "the Wine prefix could not be copied";
        installed = wine->Profile() / "AppData" / "Local" / "Programs" / "TovelaNotifier";
    }
    void TearDown() override {
        if (!wine) return;
        program.reset();
        const fs::path folder = wine->Path().parent_path();
        wine.reset();
        fs::remove_all(folder);
    }

    fs::path setup;
    std::string probe;
    std::unique_ptr<WinePrefix> wine;
    fs::path installed;
    std::unique_ptr<ProgramRun> program;
};

TEST_F(InstallerWineTest, InstallsStartsFromTheStartMenuAndUninstallsWithoutTrace) {
    ASSERT_EQ(wine->Wine({"Z:" + setup.string(), "/S"}, 120s), 0);
    for (const char* file : {"TovelaNotifier.exe", "unread.wav", "uninstall.exe"})
        EXPECT_TRUE(fs::exists(installed / file)) << file;

    const std::string exe =
        wine->WindowsProfilePath("AppData\\Local\\Programs\\TovelaNotifier\\TovelaNotifier.exe");
    const auto menu = wine->Shortcuts(
        probe,
        wine->WindowsProfilePath("AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"));
    ASSERT_TRUE(menu.contains("Tovela Notifier.lnk")) << "no Start menu entry";
    const std::string entry = menu.at("Tovela Notifier.lnk");
    ASSERT_EQ(entry.substr(0, entry.find('\t')), exe);

    // Started as the Start menu entry starts it; "start with Windows" was chosen by default.
    // The user had made it the mail program, so it keeps its mail entries when it ends.
    ASSERT_EQ(
        wine->Wine({"reg", "add",
                    "HKCU\\Software\\VB and VBA Program Settings\\NotificadorTovela\\Settings",
                    "/v", "mailtoHandler", "/d", "1", "/f"}),
        0);
    wine->TraceOn();
    program = wine->Start({exe});
    ASSERT_TRUE(wine->TraceHas("SaveTNSettings.Exit")) << wine->Trace();
    EXPECT_EQ(
        wine->RegValue("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "TovelaNotifier"),
        std::optional<std::string>("REG_SZ\t\"" + exe + "\""));
    EXPECT_TRUE(fs::exists(wine->SendTo() / "Tovela Briefcase.lnk"));

    // The uninstaller copies itself away and returns; the copy ends the program and removes
    // everything.
    EXPECT_EQ(wine->Wine({exe.substr(0, exe.rfind('\\')) + "\\uninstall.exe", "/S"}), 0);
    EXPECT_EQ(program->WaitForExit(60s), std::optional<int>(0)) << "the program was not ended";
    const std::string uninstallKey =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovelaNotifier";
    // Its own entry is the last thing the uninstaller removes.
    EXPECT_TRUE(WaitUntil([&] { return !wine->KeyExists(uninstallKey); }, 90s))
        << "the uninstaller did not finish";
    EXPECT_FALSE(fs::exists(installed)) << "the program's folder is still there";
    EXPECT_FALSE(fs::exists(wine->Profile() / "AppData" / "Roaming" / "Microsoft" / "Windows" /
                            "Start Menu" / "Programs" / "Tovela Notifier.lnk"));
    EXPECT_TRUE(fs::is_empty(wine->SendTo()));
    EXPECT_FALSE(fs::exists(wine->TraceFile().parent_path()));
    for (const char* key : {
             "HKCU\\Software\\VB and VBA Program Settings\\NotificadorTovela",
             "HKCU\\Software\\Clients\\Mail\\Tovela Notifier",
             "HKLM\\Software\\Clients\\Mail\\Tovela Notifier",
             "HKCU\\Software\\Classes\\TovelaNotifier.MailTo",
         }) {
        EXPECT_FALSE(wine->KeyExists(key)) << key;
    }
    // The program is 64-bit: Wine keeps its view of HKLM apart from the 32-bit one.
    EXPECT_FALSE(wine->KeyExists("HKLM\\Software\\Clients\\Mail\\Tovela Notifier", {"/reg:64"}));
    for (const char* view : {"/reg:32", "/reg:64"}) {
        EXPECT_NE(wine->RegValue("HKLM\\Software\\Clients\\Mail", "", {view}),
                  std::optional<std::string>("REG_SZ\tTovela Notifier"))
            << view;
    }
    EXPECT_EQ(
        wine->RegValue("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "TovelaNotifier"),
        std::nullopt);
}

}  // namespace
}  // namespace tovela::testing

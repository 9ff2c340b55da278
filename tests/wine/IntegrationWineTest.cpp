// The desktop integration of TovelaNotifier.exe in a Wine prefix of its own: what the
// start-up and shutdown saves register, the Send To shortcuts, a mailto: link opened
// through the shell, and switching the mail handler off. The program is installed as
// "C:\Tovela Notifier\TovelaNotifier.exe" and its settings are written before it starts,
// as the tray menu's integration items would have stored them.
//
// Run by scripts/test-windows.sh with WINEPREFIX (a fresh prefix in which nothing runs),
// DISPLAY and TOVELA_WINDOWS_BUILD set. The tests run in the order written.
#include <gtest/gtest.h>

#include <fstream>

#include "submit/TextEncodings.h"
#include "wine/WinePrefix.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kExe = "C:\\Tovela Notifier\\TovelaNotifier.exe";
const std::string kClientKey = "HKCU\\Software\\Clients\\Mail\\Tovela Notifier";
const std::string kMailtoCommand = "HKCU\\Software\\Classes\\mailto\\shell\\open\\command";
const std::string kRunKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kDrafts = "Tovelaの下書きフォルダ.lnk";
const std::string kBriefcase = "Tovela Briefcase.lnk";

class IntegrationWineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* build = std::getenv("TOVELA_WINDOWS_BUILD");
        const char* prefix = std::getenv("WINEPREFIX");
        if (!build || !prefix || !std::getenv("DISPLAY")) return;
        build_ = build;
        prefix_ = std::make_unique<WinePrefix>(fs::path(prefix).parent_path() / "integration");
        if (!prefix_->Ready()) return;
        const fs::path folder = prefix_->Path() / "drive_c" / "Tovela Notifier";
        fs::create_directories(folder);
        fs::copy_file(build_ / "src" / "TovelaNotifier.exe", folder / "TovelaNotifier.exe");
        fs::copy_file(build_ / "src" / "unread.wav", folder / "unread.wav");
        // The mail item switched on, autorun off; another program was the mail client.
        if (!StartProgram({{"mailtoHandler", "1"}, {"AutoRun", "0"}},
                          "[HKEY_CURRENT_USER\\Software\\Clients\\Mail]\n@=\"Other Mail\"\n"))
            return;
        started_ = prefix_->TraceHas("SaveTNSettings.Exit");
    }

    static void TearDownTestSuite() {
        if (prefix_ && prefix_->Ready()) {
            fs::create_directories(build_ / "e2e-integration");
            fs::copy_file(prefix_->TraceFile(), build_ / "e2e-integration" / "debug.log",
                          fs::copy_options::overwrite_existing);
        }
        program_.reset();
        const fs::path folder = prefix_ ? prefix_->Path().parent_path() : fs::path();
        prefix_.reset();
        if (!folder.empty()) fs::remove_all(folder);
    }

    void SetUp() override {
        if (build_.empty())
            GTEST_SKIP() << "WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD are not set";
        ASSERT_TRUE(prefix_->Ready()) << "the Wine prefix could not be copied";
        ASSERT_TRUE(started_) << "the program did not finish its start-up save\n"
                              << prefix_->Trace();
    }

    // Writes the settings (and any other registry text), empties the trace and starts the
    // program.
    static bool StartProgram(const std::map<std::string, std::string>& settings,
                             const std::string& extra = "") {
        const fs::path reg = prefix_->Path().parent_path() / "settings.reg";
        std::ofstream out(reg);
        out << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\"
               "NotificadorTovela\\Settings]\n";
        for (const auto& [key, value] : settings) out << "\"" << key << "\"=\"" << value << "\"\n";
        out << "\n" << extra;
        out.close();
        if (prefix_->Wine({"regedit", "/S", "Z:" + reg.string()}) != 0) return false;
        prefix_->TraceOn();
        program_ = prefix_->Start({kExe});
        return program_->Started();
    }

    static std::map<std::string, std::string> SendToShortcuts() {
        return prefix_->Shortcuts(
            (build_ / "tests" / "tovela-wine-linkprobe.exe").string(),
            prefix_->WindowsProfilePath("AppData\\Roaming\\Microsoft\\Windows\\SendTo"));
    }

    static bool EndSession() {
        return prefix_->Wine({"wineboot", "--end-session"}) == 0 &&
               program_->WaitForExit(60s) == std::optional<int>(0);
    }

    static inline fs::path build_;
    static inline std::unique_ptr<WinePrefix> prefix_;
    static inline std::unique_ptr<ProgramRun> program_;
    static inline bool started_ = false;
};

TEST_F(IntegrationWineTest, StartUpRegistersTheProgramAsTheUsersMailHandler) {
    const std::string quoted = "\"" + kExe + "\"";
    struct Value {
        std::string key, name, expected;
    } values[] = {
        {kMailtoCommand, "", "REG_SZ\t" + quoted + " %1"},
        {"HKCU\\Software\\Classes\\mailto\\DefaultIcon", "", "REG_SZ\t" + quoted + ", 1"},
        {"HKCU\\Software\\Clients\\Mail", "", "REG_SZ\tTovela Notifier"},
        {kClientKey, "", "REG_SZ\tTovela Notifier"},
        {kClientKey + "\\Capabilities", "ApplicationIcon", "REG_SZ\t" + quoted + ", 1"},
        {kClientKey + "\\Capabilities\\StartMenu", "Mail", "REG_SZ\tTovela Notifier"},
        {kClientKey + "\\Capabilities\\UrlAssociations", "mailto", "REG_SZ\tTovelaNotifier.MailTo"},
        {"HKCU\\SOFTWARE\\RegisteredApplications", "Tovela Notifier",
         "REG_SZ\tSoftware\\Clients\\Mail\\Tovela Notifier\\Capabilities"},
        {"HKCU\\Software\\Classes\\TovelaNotifier.MailTo\\shell\\open\\command", "",
         "REG_SZ\t" + quoted + " %1"},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.key + " " + v.name);
        EXPECT_EQ(prefix_->RegValue(v.key, v.name), std::optional<std::string>(v.expected));
    }
    // No companion library lies beside the program, so no one is pointed at it.
    EXPECT_EQ(prefix_->RegValue(kClientKey, "DllPath"), std::nullopt);
    EXPECT_EQ(prefix_->RegValue(kRunKey, "TovelaNotifier"), std::nullopt) << "autorun is off";
}

TEST_F(IntegrationWineTest, SendToShortcutsResolveToTheProgram) {
    const auto links = SendToShortcuts();
    const std::string rest = "\tC:\\Tovela Notifier\tTovela Notifier\t1";
    EXPECT_EQ(links, (std::map<std::string, std::string>{
                         {kBriefcase, kExe + "\t/briefcase" + rest},
                         {kDrafts, kExe + "\t" + rest},
                     }));
}

TEST_F(IntegrationWineTest, MailtoLinkOpenedByTheShellReachesTheRunningProgram) {
    // Windows lays the user's classes over the machine's; Wine 8's shell reads only the
    // machine's, so the user's command is put there as Windows would show it.
    const auto command = prefix_->RegValue(kMailtoCommand, "");
    ASSERT_TRUE(command && command->starts_with("REG_SZ\t"));
    ASSERT_EQ(prefix_->Wine({"reg", "add", "HKCR\\mailto\\shell\\open\\command", "/ve", "/d",
                             command->substr(7), "/f"}),
              0);
    // The shell starts the registered command, a second instance, which hands the link over.
    EXPECT_EQ(prefix_->Wine({"start", "mailto:sales@example.com?subject=Hello"}), 0);
    EXPECT_TRUE(
        prefix_->TraceHas("Commandline: " + Base64Encode("sales@example.com&subject=Hello")))
        << prefix_->Trace();
    EXPECT_TRUE(prefix_->TraceHas("AppPrev"));
    EXPECT_FALSE(program_->WaitForExit(0ms)) << "the running program ended";
}

TEST_F(IntegrationWineTest, EndOfSessionDeletesTheShortcutsAndKeepsTheRegistration) {
    ASSERT_TRUE(EndSession()) << "the program did not end within 60 s\n" << prefix_->Trace();
    EXPECT_FALSE(fs::exists(prefix_->SendTo() / kDrafts));
    EXPECT_FALSE(fs::exists(prefix_->SendTo() / kBriefcase));
    EXPECT_TRUE(prefix_->KeyExists(kMailtoCommand)) << "still the mail handler";
}

TEST_F(IntegrationWineTest, SwitchingOffRemovesTheEntriesAndAutorunFollowsItsItem) {
    ASSERT_TRUE(StartProgram({{"mailtoHandler", "0"}, {"AutoRun", "1"}}));
    ASSERT_TRUE(prefix_->TraceHas("SaveTNSettings.Exit")) << prefix_->Trace();
    EXPECT_FALSE(prefix_->KeyExists(kMailtoCommand));
    EXPECT_FALSE(prefix_->KeyExists(kClientKey));
    EXPECT_EQ(prefix_->RegValue("HKCU\\Software\\Clients\\Mail", ""), std::nullopt);
    EXPECT_EQ(prefix_->RegValue("HKCU\\SOFTWARE\\RegisteredApplications", "Tovela Notifier"),
              std::nullopt);
    EXPECT_EQ(prefix_->RegValue(kRunKey, "TovelaNotifier"),
              std::optional<std::string>("REG_SZ\t\"" + kExe + "\""));
    EXPECT_EQ(SendToShortcuts().size(), 2u) << "made again at start-up";
    EXPECT_TRUE(EndSession()) << prefix_->Trace();
}

}  // namespace
}  // namespace tovela::testing

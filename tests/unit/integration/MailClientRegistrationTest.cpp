#include "integration/MailClientRegistration.h"

#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "settings/SettingsIntegration.h"

namespace tovela::testing {
namespace {

const std::string kFolder = "C:\\Apps\\Tovela\\";
const std::string kExe = "C:\\Apps\\Tovela\\TovelaNotifier.exe";
const std::string kQuoted = "\"" + kExe + "\"";
const std::string kDll = "C:\\Apps\\Tovela\\tnmapi32.dll";
const std::string kDll32 = "C:\\Apps\\Tovela\\x86\\tnmapi32.dll";
const std::string K = "Software\\Clients\\Mail\\Tovela Notifier";
const std::string P = "Software\\Classes\\TovelaNotifier.MailTo";
const std::string M = "Software\\Classes\\mailto";

class MailClientRegistrationTest : public ::testing::Test {
protected:
    // The registry calls of the run, as the trace shows them, in order.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const auto& line : log.lines) {
            for (const char* op : {"CreateRegistryKey ", "SetRegValue ", "DeleteValue ",
                                   "DeleteRegistryKey ", "GetRegValue "}) {
                if (line.starts_with(op)) calls.push_back(line);
            }
        }
        return calls;
    }
    void Save(int mode, bool autoRun, bool mail) {
        log.lines.clear();
        shell.broadcasts.clear();
        registration.RawSaveRegistry(mode, autoRun, mail);
    }

    FakeRegistry registry;
    FakeShellEnvironment shell;
    FakeSystemInfo system;
    RecordingDebugLog log;
    Registry2 reg{registry, log};
    std::vector<std::string> balloons;
    MailClientRegistration registration{
        reg, shell, system, kFolder, log, [this](const std::string& t) { balloons.push_back(t); }};
};

std::vector<std::string> TableA() {
    const std::string L = "HKEY_LOCAL_MACHINE, ";
    return {
        "CreateRegistryKey " + L + "Software\\Clients\\Mail",
        "CreateRegistryKey " + L + K,
        "SetRegValue " + L + K + ", , Tovela Notifier",
        "SetRegValue " + L + K + ", DllPath, " + kDll,
        "SetRegValue " + L + K + ", DllPathEx, " + kDll,
        "CreateRegistryKey " + L + K + "\\shell\\open\\command",
        "SetRegValue " + L + K + "\\shell\\open\\command, , " + kQuoted,
        "CreateRegistryKey " + L + K + "\\shell\\Properties",
        "SetRegValue " + L + K + "\\shell\\Properties, , 設定",
        "CreateRegistryKey " + L + K + "\\shell\\Properties\\command",
        "SetRegValue " + L + K + "\\shell\\Properties\\command, , " + kQuoted + " /settings",
        "CreateRegistryKey " + L + K + "\\Capabilities",
        "SetRegValue " + L + K + "\\Capabilities, ApplicationDescription, Tovela Notifier",
        "CreateRegistryKey " + L + K + "\\Capabilities\\StartMenu",
        "SetRegValue " + L + K + "\\Capabilities\\StartMenu, Mail, Tovela Notifier",
        "CreateRegistryKey " + L + K + "\\Capabilities\\UrlAssociations",
        "SetRegValue " + L + K + "\\Capabilities\\UrlAssociations, mailto, TovelaNotifier.MailTo",
    };
}

std::vector<std::string> TableB(bool admin) {
    const std::string U = "HKEY_CURRENT_USER, ";
    std::vector<std::string> b = {
        "CreateRegistryKey " + U + M + "\\shell\\open\\command",
        "SetRegValue " + U + M + "\\shell\\open\\command, , " + kQuoted + " %1",
        "CreateRegistryKey " + U + M + "\\DefaultIcon",
        "SetRegValue " + U + M + "\\DefaultIcon, , " + kQuoted + ", 1",
        "CreateRegistryKey " + U + "Software\\Clients\\Mail",
        "GetRegValue " + U + "Software\\Clients\\Mail, ",
        "SetRegValue " + U + "Software\\Clients\\Mail, , Tovela Notifier",
        "CreateRegistryKey " + U + K,
        "SetRegValue " + U + K + ", , Tovela Notifier",
    };
    if (admin) {
        b.push_back("SetRegValue " + U + K + ", DllPath, " + kDll);
        b.push_back("SetRegValue " + U + K + ", DllPathEx, " + kDll);
        b.push_back("SetRegValue HKEY_LOCAL_MACHINE, Software\\Clients\\Mail, , Tovela Notifier");
    }
    const std::vector<std::string> rest = {
        "CreateRegistryKey " + U + K + "\\Capabilities",
        "SetRegValue " + U + K + "\\Capabilities, ApplicationDescription, Tovela Notifier",
        "SetRegValue " + U + K + "\\Capabilities, ApplicationName, Tovela Notifier",
        "SetRegValue " + U + K + "\\Capabilities, ApplicationIcon, " + kQuoted + ", 1",
        "CreateRegistryKey " + U + K + "\\Capabilities\\StartMenu",
        "SetRegValue " + U + K + "\\Capabilities\\StartMenu, Mail, Tovela Notifier",
        "CreateRegistryKey " + U + K + "\\Capabilities\\UrlAssociations",
        "SetRegValue " + U + K + "\\Capabilities\\UrlAssociations, mailto, TovelaNotifier.MailTo",
        "CreateRegistryKey " + U + "SOFTWARE\\RegisteredApplications",
        "SetRegValue " + U + "SOFTWARE\\RegisteredApplications, Tovela Notifier, " + K +
            "\\Capabilities",
        "CreateRegistryKey " + U + P,
        "CreateRegistryKey " + U + P + "\\shell\\open\\command",
        "CreateRegistryKey " + U + P + "\\Application",
        "CreateRegistryKey " + U + P + "\\DefaultIcon",
        "SetRegValue " + U + P + "\\Application, ApplicationName, Tovela Notifier",
        "SetRegValue " + U + P + "\\DefaultIcon, , " + kQuoted + ", 1",
        "SetRegValue " + U + P + "\\shell\\open\\command, , " + kQuoted + " %1",
    };
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

TEST_F(MailClientRegistrationTest, WritesTheTablesInOrderForAnAdministratorAndAStandardUser) {
    for (bool admin : {true, false}) {
        SCOPED_TRACE(admin ? "administrator" : "standard user");
        shell.admin = admin;
        // The companion library lies beside the program only in the administrator's case.
        if (admin) shell.files.insert(kDll);
        if (!admin) shell.files.erase(kDll);
        if (!admin) registry.denied.insert(RegistryRoot::LocalMachine);
        Save(kSaveOnApply, false, true);

        std::vector<std::string> expected = {
            "DeleteValue HKEY_CURRENT_USER, Software\\Microsoft\\Windows\\CurrentVersion\\Run, "
            "TovelaNotifier"};
        if (admin) {
            const auto a = TableA();
            expected.insert(expected.end(), a.begin(), a.end());
        }
        const auto b = TableB(admin);
        expected.insert(expected.end(), b.begin(), b.end());
        EXPECT_EQ(Calls(), expected);
        EXPECT_TRUE(log.Has(std::string("RawSaveRegistry.IsUserAnAdministrator: ") +
                            (admin ? "True" : "False")));
        EXPECT_TRUE(log.Has("AppExeName: " + kExe));
        EXPECT_EQ(log.lines.front(), "RawSaveRegistry.Enter");
        EXPECT_EQ(log.lines.back(), "RawSaveRegistry.Exit");
    }
    EXPECT_EQ(registry.Value("HKCU\\" + M + "\\shell\\open\\command", ""), kQuoted + " %1");
    EXPECT_EQ(registry.Value("HKCU\\" + K, "DllPath"), kDll) << "left from the administrator's run";
}

TEST_F(MailClientRegistrationTest, BroadcastsOnlyWhenTheDefaultClientChanges) {
    registry.PutText("HKCU\\Software\\Clients\\Mail", "", "Other Mail");
    Save(kSaveOnApply, true, true);
    EXPECT_EQ(shell.broadcasts,
              (std::vector<std::string>{"Software\\Clients\\Mail", "Software\\Classes\\mailto",
                                        "SOFTWARE\\RegisteredApplications"}));
    Save(kSaveOnApply, true, true);
    EXPECT_TRUE(shell.broadcasts.empty()) << "already the default";

    // Another program took the mailto: command over; switching off leaves it alone.
    registry.PutText("HKCU\\" + M + "\\shell\\open\\command", "", "\"C:\\Other\\mail.exe\" %1");
    Save(kSaveOnApply, true, false);
    EXPECT_EQ(registry.Value("HKCU\\" + M + "\\shell\\open\\command", ""),
              "\"C:\\Other\\mail.exe\" %1");
    EXPECT_FALSE(registry.HasKey("HKCU\\" + K));
    EXPECT_EQ(registry.Value("HKCU\\SOFTWARE\\RegisteredApplications", "Tovela Notifier"),
              "(none)");
    EXPECT_EQ(registry.Value("HKCU\\Software\\Clients\\Mail", ""), "(none)");
    EXPECT_EQ(shell.broadcasts.size(), 3u) << "the user's default client named us";
    EXPECT_TRUE(registry.HasKey("HKCU\\" + P)) << "the class stays";

    Save(kSaveOnApply, true, false);
    EXPECT_TRUE(shell.broadcasts.empty()) << "nothing of ours was left to remove";
}

TEST_F(MailClientRegistrationTest, SwitchingOffRemovesOurMailtoCommand) {
    Save(kSaveOnApply, false, true);
    Save(kSaveOnApply, false, false);
    EXPECT_FALSE(registry.HasKey("HKCU\\" + M + "\\shell"));
    EXPECT_TRUE(registry.HasKey("HKCU\\" + M)) << "its DefaultIcon keeps it";
    EXPECT_EQ(shell.broadcasts.size(), 3u);
}

TEST_F(MailClientRegistrationTest, AutorunValueFollowsTheItem) {
    const std::string run = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    registry.PutText(run, "Other", "x");
    Save(kSaveAtStartup, true, false);
    EXPECT_EQ(registry.Value(run, "TovelaNotifier"), kQuoted);
    Save(kSaveOnApply, false, false);
    EXPECT_EQ(registry.Value(run, "TovelaNotifier"), "(none)");
    EXPECT_EQ(registry.Value(run, "Other"), "x");
}

TEST_F(MailClientRegistrationTest, ShutdownRemovesTheMachineEntryWhenAnotherClientIsDefault) {
    shell.admin = true;
    Save(kSaveAtStartup, false, false);
    ASSERT_TRUE(registry.HasKey("HKLM\\" + K + "\\shell\\Properties\\command"));
    registry.PutText("HKLM\\Software\\Clients\\Mail", "", "Other Mail");
    Save(kSaveAtShutdown, false, false);
    EXPECT_FALSE(registry.HasKey("HKLM\\" + K));
    EXPECT_TRUE(registry.HasKey("HKLM\\Software\\Clients\\Mail"));

    Save(kSaveAtStartup, false, true);
    Save(kSaveAtShutdown, false, true);
    EXPECT_TRUE(registry.HasKey("HKLM\\" + K)) << "still switched on";
}

// 32-bit programs read HKLM's 32-bit view. Where it is a tree of its own (Wine), it names the
// 32-bit library while the item is on; where it is shared (Windows), it shows the 64-bit
// entries and nothing is written through it.
TEST_F(MailClientRegistrationTest, TheMachines32BitViewNamesThe32BitLibraryWhereItIsApart) {
    const std::string clients32 = "HKLM32\\Software\\Clients\\Mail";
    for (bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "shared view" : "a view of its own");
        registry = FakeRegistry();
        registry.sharedMachineViews = shared;
        shell.admin = true;
        shell.files = {kDll, kDll32};
        Save(kSaveAtStartup, false, true);
        EXPECT_EQ(registry.Value("HKLM\\" + K, "DllPath"), kDll);
        EXPECT_EQ(registry.Value("HKLM\\Software\\Clients\\Mail", ""), "Tovela Notifier");
        EXPECT_EQ(registry.Value("HKLM32\\" + K, "DllPath"), shared ? "(none)" : kDll32);
        EXPECT_EQ(registry.Value("HKLM32\\" + K, "DllPathEx"), shared ? "(none)" : kDll32);
        EXPECT_EQ(registry.Value(clients32, ""), shared ? "(none)" : "Tovela Notifier");
        if (shared) {
            EXPECT_TRUE(registry.ChangesUnder("HKLM32").empty());
            continue;
        }

        // Switched off, then another program became the machine's choice.
        Save(kSaveOnApply, false, false);
        EXPECT_EQ(registry.Value(clients32, ""), "(none)");
        EXPECT_TRUE(registry.HasKey("HKLM32\\" + K)) << "the machine entry stays until shutdown";
        registry.PutText("HKLM\\Software\\Clients\\Mail", "", "Other Mail");
        Save(kSaveAtShutdown, false, false);
        EXPECT_FALSE(registry.HasKey("HKLM32\\" + K));
        EXPECT_FALSE(registry.HasKey("HKLM\\" + K));
    }
}

TEST_F(MailClientRegistrationTest, IsDefaultMailClientByUserMachineAndAccountControl) {
    struct Case {
        const char* name;
        const char* user;     // HKCU default client, nullptr for none
        const char* machine;  // HKLM default client
        bool admin;
        int lua;
        bool mark;
        bool expected;
    } cases[] = {
        {"user default is us", " Tovela Notifier ", "Other", false, 1, false, true},
        {"user default is another", "Other", "Tovela Notifier", false, 1, true, false},
        {"machine default is us, user has none", nullptr, "Tovela Notifier", false, 0, false, true},
        {"standard user, nothing set", nullptr, nullptr, false, 0, true, false},
        {"administrator without UAC, nothing set: the mark", nullptr, nullptr, true, 0, true, true},
        {"administrator without UAC, another machine default", nullptr, "Other", true, 0, true,
         false},
        {"administrator without UAC, machine is us", "", "Tovela Notifier", true, 0, false, true},
        {"administrator with UAC, nothing set", nullptr, nullptr, true, 1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry fresh;
        registry = fresh;
        if (c.user) registry.PutText("HKCU\\Software\\Clients\\Mail", "", c.user);
        if (c.machine) registry.PutText("HKLM\\Software\\Clients\\Mail", "", c.machine);
        registry.PutDword("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                          "EnableLUA", static_cast<std::uint32_t>(c.lua));
        shell.admin = c.admin;
        EXPECT_EQ(registration.IsDefaultMailClient(c.mark), c.expected);
    }
}

TEST_F(MailClientRegistrationTest, AdministratorMembershipCountsASplitToken) {
    struct Case {
        const char* name;
        bool isUserAnAdmin;
        std::optional<int> elevation;
        unsigned major;
        bool expected;
    } cases[] = {
        {"shell says administrator", true, std::nullopt, 5, true},
        {"limited token of an administrator", false, 3, 10, true},
        {"no split token", false, 1, 10, false},
        {"token unreadable", false, std::nullopt, 10, false},
        {"before Vista there is no token type", false, 3, 5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shell.admin = c.isUserAnAdmin;
        shell.elevationType = c.elevation;
        system.version.major = c.major;
        EXPECT_EQ(registration.IsUserAnAdministrator(), c.expected);
    }
}

TEST_F(MailClientRegistrationTest, DefaultAppsSettingsOpenOncePerSwitchOnWithoutTheTool) {
    Save(kSaveAtStartup, false, true);
    EXPECT_TRUE(shell.opened.empty()) << "already on when the program started";
    Save(kSaveOnApply, false, false);
    Save(kSaveOnApply, false, true);
    EXPECT_EQ(shell.opened, std::vector<std::string>{"ms-settings:defaultapps"});
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_NE(balloons[0].find("Tovela Notifier"), std::string::npos);
    Save(kSaveOnApply, false, true);
    EXPECT_EQ(shell.opened.size(), 1u) << "still on: not again";

    system.version = {2, 6, 1};  // Windows 7 lets programs set the default themselves
    Save(kSaveOnApply, false, false);
    Save(kSaveOnApply, false, true);
    EXPECT_EQ(shell.opened.size(), 1u);

    shell.files.insert(kFolder + "SetUserFTA.exe");
    Save(kSaveAtStartup, false, true);
    EXPECT_EQ(shell.started,
              std::vector<std::string>{kFolder + "SetUserFTA.exe | \"" + kFolder +
                                       "SetUserFTA.exe\" mailto TovelaNotifier.MailTo"});
    EXPECT_TRUE(shell.started.size() == 1 && balloons.size() == 1);
}

}  // namespace
}  // namespace tovela::testing

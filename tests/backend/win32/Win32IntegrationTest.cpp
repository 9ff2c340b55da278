// The desktop integration's back end against the real system: registry, shell links, files
// and the registration as a Windows shell resolves it.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>

#include "backend/RegistryConformance.h"
#include "backend/win32/Wine.h"
#include "integration/WindowsIntegration.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32ShellEnvironment.h"
#include "platform/win32/Win32ShellLinks.h"
#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

namespace fs = std::filesystem;

std::wstring ReadDefault(HKEY root, const std::wstring& key) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS) {
        return L"(none)";
    }
    return buffer;
}

// The class as the user's programs see it: Windows lays the user's classes over the
// machine's in HKEY_CLASSES_ROOT. Wine 8 does not, so there the user's own key is read.
std::wstring ReadClass(const std::wstring& key) {
    if (RunningUnderWine()) return ReadDefault(HKEY_CURRENT_USER, L"Software\\Classes\\" + key);
    return ReadDefault(HKEY_CLASSES_ROOT, key);
}

class Win32IntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("tovela-integration-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        fs::remove_all(folder);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TovelaNotifierBackendTest");
    }
    std::string Utf8(const fs::path& path) { return Narrow(path.wstring()); }

    fs::path folder;
    Win32ShellEnvironment shell;
    Win32ShellLinks links;
};

TEST_F(Win32IntegrationTest, RegistryBehavesAsTheProgramExpects) {
    Win32Registry registry;
    testing::CheckRegistryConformance(registry, "Software\\TovelaNotifierBackendTest");
}

TEST_F(Win32IntegrationTest, ShortcutsRoundTripThroughTheShellLinkObject) {
    const std::string exe = Utf8(folder / "TovelaNotifier.exe");
    std::ofstream(folder / "TovelaNotifier.exe") << "MZ";
    const std::string lnk = Utf8(folder / L"Tovelaの下書きフォルダ.lnk");
    {
        auto link = links.Create();
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->SetPath(exe), S_OK);
        EXPECT_EQ(link->SetArguments("/briefcase"), S_OK);
        EXPECT_EQ(link->SetWorkingDirectory(Utf8(folder)), S_OK);
        EXPECT_EQ(link->SetDescription("Tovela Notifier"), S_OK);
        EXPECT_EQ(link->SetShowCmd(SW_SHOWNORMAL), S_OK);
        EXPECT_EQ(link->SetIconLocation(exe, 0), S_OK);
        EXPECT_EQ(link->Save(lnk), S_OK);
    }
    EXPECT_TRUE(shell.FileExists(lnk));
    auto loaded = links.Create();
    EXPECT_LT(loaded->Load(lnk + ".missing"), 0);
    ASSERT_EQ(loaded->Load(lnk), S_OK);
    EXPECT_GE(loaded->Resolve(0, SLR_NO_UI), 0);
    EXPECT_EQ(loaded->GetPath(), exe);
    EXPECT_EQ(loaded->GetArguments(), "/briefcase");
    EXPECT_EQ(loaded->GetWorkingDirectory(), Utf8(folder));
    EXPECT_EQ(loaded->GetDescription(), "Tovela Notifier");
    EXPECT_EQ(loaded->GetShowCmd(), SW_SHOWNORMAL);
}

TEST_F(Win32IntegrationTest, FilesFoldersAndEnvironmentAnswerAsTheIntegrationNeeds) {
    const std::string sendTo = shell.SendToFolder();
    EXPECT_FALSE(sendTo.empty());
    EXPECT_TRUE(shell.IsFolder(sendTo)) << sendTo;
    EXPECT_FALSE(shell.FileExists(sendTo)) << "a folder is not a file";

    bool appData = false;
    for (const auto& entry : shell.Environment())
        appData = appData || entry.starts_with("APPDATA=");
    EXPECT_TRUE(appData);

    const fs::path file = folder / "TovelaSender.xla";
    std::ofstream(file) << "x";
    {
        // An office program that has the add-in loaded holds it without sharing.
        HANDLE held =
            CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(shell.RemoveFile(Utf8(file)),
                  static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        CloseHandle(held);
    }
    EXPECT_EQ(shell.RemoveFile(Utf8(file)), 0u);
    EXPECT_EQ(shell.RemoveFile(Utf8(file)), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32IntegrationTest, MailtoRegistrationReachesTheClassesRootAndGoesAgain) {
    Win32Registry registry;
    NullDebugLog log;
    class System final : public SystemInfo {
    public:
        OsVersion GetVersion() override { return {2, 6, 1}; }
        void EmptyWorkingSet() override {}
        std::string UserDataFolder() override { return {}; }
        std::string SystemErrorText(std::uint32_t) override { return {}; }
        std::uint32_t LastError() override { return 0; }
    } system;
    TrayMenus menus;
    WindowsIntegration integration(
        IntegrationPorts{registry, shell, links, system, Utf8(folder) + "\\"}, menus, log, {});
    const std::wstring command = L"\"" + (folder / "TovelaNotifier.exe").wstring() + L"\" %1";

    menus.mnuPopWinSetupMailtoHandler.checked = true;
    integration.RawSaveRegistry(1);
    EXPECT_EQ(ReadClass(L"mailto\\shell\\open\\command"), command);
    EXPECT_EQ(ReadClass(L"TovelaNotifier.MailTo\\shell\\open\\command"), command);
    EXPECT_TRUE(integration.IsDefaultMailClient());

    menus.mnuPopWinSetupMailtoHandler.checked = false;
    integration.RawSaveRegistry(1);
    EXPECT_NE(ReadClass(L"mailto\\shell\\open\\command"), command);
    EXPECT_FALSE(integration.IsDefaultMailClient());
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Clients\\Mail\\Tovela Notifier", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TovelaNotifier.MailTo");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\mailto");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail\\Tovela Notifier");
}

}  // namespace
}  // namespace tovela::win32

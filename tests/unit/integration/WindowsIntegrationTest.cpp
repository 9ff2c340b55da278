// The integration as the main form drives it: the start-up save, the shutdown save and the
// briefcase answer of a login.
#include "integration/WindowsIntegration.h"

#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"

namespace tovela::testing {
namespace {

const std::string kSendTo = "C:\\Users\\u\\SendTo";
const std::string kRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class WindowsIntegrationTest : public ::testing::Test {
protected:
    WindowsIntegrationTest() {
        fakes.desktop->programFolder = "C:\\Apps\\Tovela\\";
        fakes.shellEnvironment->sendToFolder = kSendTo;
        fakes.shellEnvironment->folders.insert(kSendTo);
    }
    FakePlatform fakes;
    RecordingDebugLog log;
};

TEST_F(WindowsIntegrationTest, StartUpRegistersAndShutdownTakesTheShortcutsAway) {
    fakes.settings->Put("mailtoHandler", "1");
    fakes.registry->PutText("HKCU\\Software\\Clients\\Mail", "", "Other Mail");
    {
        frmMain form(fakes.platform, &log);
        ASSERT_TRUE(form.Form_Load(""));
        EXPECT_EQ(fakes.registry->Value(kRun, "TovelaNotifier"),
                  "\"C:\\Apps\\Tovela\\TovelaNotifier.exe\"")
            << "autorun is on by default";
        EXPECT_EQ(
            fakes.registry->Value("HKCU\\Software\\Classes\\mailto\\shell\\open\\command", ""),
            "\"C:\\Apps\\Tovela\\TovelaNotifier.exe\" %1");
        EXPECT_EQ(fakes.shellEnvironment->broadcasts.size(), 3u);
        EXPECT_EQ(fakes.shellEnvironment->links.size(), 2u);

        // The login answer withdrew the briefcase.
        form.DeleteBriefcaseShortcut();
        EXPECT_FALSE(fakes.shellEnvironment->links.contains(kSendTo + "\\Tovela Briefcase.lnk"));

        // Another program became the user's mail client while the program ran.
        fakes.registry->PutText("HKCU\\Software\\Clients\\Mail", "", "Other Mail");
        form.Form_Unload();
    }
    EXPECT_TRUE(fakes.shellEnvironment->links.empty());
    EXPECT_EQ(fakes.settings->Value("mailtoHandler"), "0") << "the mark follows the registry";
    EXPECT_LT(std::find(log.lines.begin(), log.lines.end(),
                        "SaveTNSettings.sTNShortcut: " + kSendTo + "\\Tovelaの下書きフォルダ.lnk"),
              std::find(log.lines.begin(), log.lines.end(), "RawSaveRegistry.Enter"));
}

}  // namespace
}  // namespace tovela::testing

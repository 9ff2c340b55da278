#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "settings/PocketCrypter.h"

namespace tovela {
namespace {

class frmMainTest : public ::testing::Test {
protected:
    std::size_t IndexOf(const std::string& line) const {
        for (std::size_t i = 0; i < log.lines.size(); ++i) {
            if (log.lines[i] == line) return i;
        }
        ADD_FAILURE() << "no trace line " << line;
        return log.lines.size();
    }

    testing::FakePlatform fakes;
    testing::RecordingDebugLog log;
};

TEST_F(frmMainTest, SecondStartHandsOverAndTouchesNoSettings) {
    fakes.instance->previous = true;
    frmMain form(fakes.platform, &log);
    EXPECT_FALSE(form.Form_Load("mailto:a@b?subject=Hi"));

    ASSERT_EQ(fakes.instance->sent.size(), 1u);
    EXPECT_EQ(fakes.instance->sent[0].kind, 1721u);
    EXPECT_TRUE(fakes.settings->writes.empty());
    EXPECT_TRUE(fakes.windows->live.empty());  // no mailbox of its own
    EXPECT_EQ(log.lines.front(),
              "///// Start: 2026/12/06 07:51:15 - Tovela Notifier version 6.1.0 \\\\\\\\\\");
    EXPECT_EQ(log.lines[1], "AppPrev");
    EXPECT_EQ(log.lines[2].rfind("Commandline: ", 0), 0u);
    EXPECT_EQ(log.lines.size(), 3u);

    // Unloading a form that never loaded saves nothing either.
    form.Form_Unload();
    EXPECT_TRUE(fakes.settings->writes.empty());
}

TEST_F(frmMainTest, OnlyInstanceTranslatesRestoresSavesThenOpensItsMailbox) {
    frmMain form(fakes.platform, &log);
    EXPECT_TRUE(form.Form_Load(""));

    EXPECT_TRUE(fakes.windows->hiddenFromTaskList);
    EXPECT_LT(IndexOf("TranslateControls"), IndexOf("TraeSetting: HTTPS"));
    EXPECT_LT(IndexOf("TraeSetting: WhiteList"), IndexOf("SaveTNSettings.Enter"));
    EXPECT_EQ(fakes.settings->writes.size(), 12u);
    ASSERT_NE(fakes.windows->FirstMailbox(), nullptr);
    EXPECT_EQ(form.CTrayIcon->hwnd(), fakes.windows->live.front()->Handle());
    // Incomplete credentials: no check, and the window stays for the user.
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Comprobando"), 0);
    EXPECT_TRUE(form.settings.Model().visible);

    // A second start asking for the settings reaches the form through its mailbox.
    form.settings.HideSettingsWindow();
    fakes.windows->FirstMailbox()->OnCopyData(1724, std::nullopt);
    EXPECT_TRUE(form.settings.Model().visible);
    EXPECT_LT(IndexOf("SaveTNSettings.Exit"), IndexOf("OnSettingsShowRequest"));
}

TEST_F(frmMainTest, CompleteAccountIsCheckedAtOnceAndShutdownSavesAndQuits) {
    fakes.settings->Put("TovelaHost", "mail.example.com");
    fakes.settings->Put("Username", "user");
    fakes.settings->Put("Password", "text:pw");
    // The server cannot be reached: the first check fails.
    fakes.http->script.push_back(testing::HttpReply::Failure(kInetResourceNotFound, "not found"));
    frmMain form(fakes.platform, &log);
    EXPECT_TRUE(form.Form_Load(""));
    EXPECT_EQ(form.sPassword, "pw");
    EXPECT_GT(IndexOf("Comprobando"), IndexOf("SaveTNSettings.Exit"));
    // The start-up save rewrote the plain form scrambled.
    const std::string stored = StoredPasswordForm("pw", form.settings.Model().chkWebmailLogin);
    EXPECT_EQ(fakes.settings->Value("Password"), stored);
    EXPECT_FALSE(form.settings.Model().visible);
    // A failed first check polls again after the retry interval.
    ASSERT_EQ(fakes.timers->active.count(1684), 1u);
    EXPECT_EQ(fakes.timers->active.at(1684).milliseconds, 10'000u);
    EXPECT_EQ(fakes.http->calls.at(0).method, "OPTIONS");

    fakes.settings->writes.clear();
    fakes.clock->utcMs = 1796547600000;  // 09:00:00 UTC
    fakes.loop->shutdown();              // SIGTERM on Linux
    fakes.loop->shutdown();              // a second request finds nothing left to do

    EXPECT_EQ(fakes.loop->quitCalls, 2);
    EXPECT_TRUE(fakes.timers->active.empty());
    EXPECT_EQ(fakes.settings->writes.size(), 12u);
    EXPECT_TRUE(fakes.windows->live.empty());
    EXPECT_EQ(log.lines.back(), "\\\\\\\\\\ End: 2026/12/06 09:00:00 /////");
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "SaveTNSettings.Exit"), 2);
    EXPECT_EQ(fakes.settings->Value("Password"), stored);  // the password survives it
}

TEST_F(frmMainTest, TrimWorkingSetOnlyOnTheNtFamily) {
    frmMain form(fakes.platform, &log);
    form.TrimWorkingSet();
    fakes.system->version.platformId = 1;
    form.TrimWorkingSet();
    EXPECT_EQ(fakes.system->trims, 1);
}

}  // namespace
}  // namespace tovela

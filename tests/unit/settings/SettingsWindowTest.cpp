#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "settings/SettingsWindow.h"

namespace tovela::testing {
namespace {

// A filled-in window with a captured password and a live session.
class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() {
        f.window.SetText(ControlId::txtTovelaHost, "mail.example.com");
        f.window.SetText(ControlId::txtUsuario, "taro");
        f.window.SetCheck(ControlId::chkSSL, kChecked);
        f.EnterPassword("secret");
        f.session.sAuthToken = "token";
        f.session.sSessionId = "session";
        f.session.bOptionsProbed = true;
        f.bFoldersLoaded = true;
    }
    bool PasswordKept() const {
        return f.sPassword == "secret" && f.form().txtPassword.text == kMask;
    }
    bool PasswordDropped() const {
        return f.sPassword.empty() && f.form().txtPassword.text.empty() &&
               f.session.sAuthToken.empty();
    }
    SettingsHarness f;
};

TEST_F(SettingsWindowTest, PasswordIsCapturedOnlyWhenTyped) {
    EXPECT_TRUE(PasswordKept());
    EXPECT_FALSE(f.form().txtPassword.changedMark);
    // Passing through the masked box without typing keeps password and session.
    f.window.SetFocus(ControlId::txtPassword);
    f.window.SetFocus(ControlId::txtUsuario);
    EXPECT_TRUE(PasswordKept());
    EXPECT_EQ(f.session.sAuthToken, "token");

    f.window.SetFocus(ControlId::txtPassword);
    f.window.SetText(ControlId::txtPassword, "other");
    f.window.SetFocus(ControlId::cmdAceptar);
    EXPECT_EQ(f.sPassword, "other");
    EXPECT_EQ(f.form().txtPassword.text, kMask);
    EXPECT_EQ(f.session.sAuthToken + f.session.sSessionId, "");
}

TEST_F(SettingsWindowTest, NewHostDropsPasswordAndSessionNewUserOnlySession) {
    f.window.SetText(ControlId::txtUsuario, "hanako");
    EXPECT_TRUE(PasswordKept());
    EXPECT_EQ(f.session.sAuthToken + f.session.sSessionId + f.session.sNotifySeq, "");
    EXPECT_FALSE(f.bFoldersLoaded);
    EXPECT_TRUE(f.session.bOptionsProbed);

    f.session.sSessionId = "session";
    f.bFoldersLoaded = true;
    f.window.SetText(ControlId::txtTovelaHost, "  new.example.com ");
    EXPECT_TRUE(PasswordDropped());
    EXPECT_EQ(f.session.sHost, "new.example.com");
    EXPECT_EQ(f.session.sSessionId, "");
    EXPECT_FALSE(f.session.bOptionsProbed);
    EXPECT_FALSE(f.bFoldersLoaded);

    f.EnterPassword("secret");
    f.window.SetText(ControlId::txtTovelaHost, "  new.example.com ");  // no change, no handler
    EXPECT_TRUE(PasswordKept());
}

TEST_F(SettingsWindowTest, UncheckingSecureConnectionDropsPasswordForGood) {
    f.window.SetCheck(ControlId::chkSSL, kUnchecked);
    EXPECT_TRUE(PasswordDropped());
    EXPECT_EQ(f.session.sSessionId, "");
    EXPECT_FALSE(f.session.bOptionsProbed);
    f.window.SetCheck(ControlId::chkSSL, kChecked);
    EXPECT_TRUE(PasswordDropped());

    // Without a password there is nothing to drop, but the probe is still forgotten.
    f.session.sSessionId = "session";
    f.session.bOptionsProbed = true;
    f.window.SetCheck(ControlId::chkSSL, kUnchecked);
    EXPECT_EQ(f.session.sSessionId, "session");
    EXPECT_FALSE(f.session.bOptionsProbed);
}

TEST_F(SettingsWindowTest, WebmailLoginDropsPasswordAlsoThroughSavePassword) {
    f.window.SetCheck(ControlId::chkGuardaPassword, kChecked);  // webmail login off
    EXPECT_TRUE(PasswordKept());
    f.window.SetCheck(ControlId::chkWebmailLogin, kChecked);
    EXPECT_TRUE(PasswordDropped());
    EXPECT_EQ(f.session.sSessionId, "session");

    f.window.SetCheck(ControlId::chkGuardaPassword, kUnchecked);
    f.EnterPassword("secret");
    f.window.SetCheck(ControlId::chkGuardaPassword, kChecked);
    EXPECT_TRUE(PasswordDropped());
}

TEST_F(SettingsWindowTest, HostWithSchemeOrPathKeepsTheFocus) {
    for (const auto& [host, rejected] : {std::pair{"mail.example.com", false},
                                         {"HTTP:mail", true},
                                         {"https://mail.example.com", true},
                                         {"mail/webmail", true},
                                         {"https:mail", false}}) {
        SCOPED_TRACE(host);
        f.host.messages.clear();
        f.window.SetFocus(ControlId::txtTovelaHost);
        f.window.SetText(ControlId::txtTovelaHost, host);
        EXPECT_EQ(f.window.SetFocus(ControlId::txtUsuario), !rejected);
        EXPECT_EQ(f.form().active, rejected ? ControlId::txtTovelaHost : ControlId::txtUsuario);
        EXPECT_EQ(f.host.messages, rejected
                                       ? std::vector<std::string>{"サーバー名が間違っています 64"}
                                       : std::vector<std::string>{});
    }
}

TEST_F(SettingsWindowTest, FocusSelectsWholeTextInUtf16Units) {
    f.window.SetText(ControlId::txtFilters, "迷惑メール|😀");
    ASSERT_TRUE(f.window.SetFocus(ControlId::txtFilters));
    EXPECT_EQ(f.form().txtFilters.selLength, 8u);
}

TEST(FilterListTest, ListChoiceSwapsTheDefaultFilter) {
    struct Case {
        const char* filter;
        ControlId option;
        const char* expected;
    };
    const auto white = ControlId::optWhiteList, black = ControlId::optBlackList;
    for (const Case& c :
         {Case{"迷惑メール", white, "受信箱"}, Case{"Work|迷惑メール", white, "受信箱"},
          Case{"", white, "受信箱"}, Case{"Work", white, "Work"},
          Case{"受信箱", black, "迷惑メール"}, Case{"", black, "迷惑メール"},
          Case{"受信箱|Work", black, "受信箱|Work"}}) {
        SCOPED_TRACE(std::string(c.filter) + (c.option == white ? " white" : " black"));
        SettingsHarness f;
        f.window.SetOption(c.option == white ? black : white, true);
        f.window.SetText(ControlId::txtFilters, c.filter);
        f.window.SetOption(c.option, true);
        EXPECT_EQ(f.form().txtFilters.text, c.expected);
        EXPECT_EQ(f.form().optWhiteList.value, c.option == white);
        EXPECT_EQ(f.form().optBlackList.value, c.option == black);
    }
    SettingsHarness f;
    f.window.SetOption(black, true);  // already selected: no handler, filter stays empty
    EXPECT_EQ(f.form().txtFilters.text, "");
}

TEST_F(SettingsWindowTest, CloseHidesAfterTheAnimationAndTrayEntryShowsAgain) {
    f.window.cmdCerrar_Click();
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"AnimateWindow shown", "TrimWorkingSet hidden"}));
    EXPECT_EQ(f.form().windowState, WindowState::Minimized);

    f.window.mnuPopConf_Click();
    EXPECT_TRUE(f.form().visible);
    EXPECT_EQ(f.form().windowState, WindowState::Normal);
    EXPECT_EQ(f.form().focused, ControlId::txtPassword);
    EXPECT_EQ(f.form().txtPassword.selLength, 20u);
}

TEST(FormActivateTest, FocusesPasswordOnlyWhenItIsTheMissingEntry) {
    struct Case {
        const char *host, *user, *password;
        bool visible, focused;
    };
    for (const Case& c : {Case{"h", "u", "", true, true}, Case{"", "u", "", true, false},
                          Case{"h", "", "", true, false}, Case{"h", "u", "pw", true, false},
                          Case{"h", "u", "", false, false}}) {
        SCOPED_TRACE(std::string(c.host) + "|" + c.user + "|" + c.password + "|" +
                     (c.visible ? "shown" : "hidden"));
        SettingsHarness f;
        f.window.SetText(ControlId::txtTovelaHost, c.host);
        f.window.SetText(ControlId::txtUsuario, c.user);
        f.EnterPassword(c.password);
        f.window.SetFocus(ControlId::txtUsuario);
        if (!c.visible) f.window.HideSettingsWindow();
        f.window.Form_Activate();
        EXPECT_EQ(f.form().focused == ControlId::txtPassword, c.focused);
    }
}

}  // namespace
}  // namespace tovela::testing

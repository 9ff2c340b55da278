#include <gtest/gtest.h>

#include "fakes/RecordingDebugLog.h"
#include "settings/InterfaceTexts.h"

namespace tovela::testing {
namespace {

TEST(TranslateControlsTest, LogsThenSetsJapaneseTextsAndLeavesOthers) {
    SettingsWindowModel window;
    TrayMenus menus;
    RecordingDebugLog log;
    TranslateControls(window, menus, log);
    EXPECT_EQ(log.lines, std::vector<std::string>{"TranslateControls"});
    EXPECT_TRUE(window.txtTovelaHost.tip.starts_with("サーバー名もしくはIPを入力してください ("));
    EXPECT_NE(window.txtFilters.tip.find("\"|\"で項目を区切り"), std::string::npos);
    EXPECT_EQ(menus.mnuPopConf.caption, "設定");
    EXPECT_EQ(menus.mnuCalNotificar.caption, "この予約をリマインドする");
    EXPECT_EQ(window.chkWebmailLogin.caption, "Webmail Login");
    EXPECT_EQ(menus.mnuCalCaption.caption, TrayMenus{}.mnuCalCaption.caption);
}

}  // namespace
}  // namespace tovela::testing

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "xml/SessionAnswers.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

using testing::HttpReply;

constexpr std::uint32_t kTopmost = 0x40000;
constexpr const char* kMissing = "すべての必須フィールドに入力してください";

// The main form started without settings (the probe of the fake server already answered),
// filled in the way a user does it: focus first, then typing or clicking.
struct Harness {
    explicit Harness(std::function<void(testing::FakePlatform&)> before = {}) {
        fakes.platform.xml = testing::MakeXmlFactory();
        if (before) before(fakes);
        form = std::make_unique<frmMain>(fakes.platform, &log);
        EXPECT_TRUE(form->Form_Load(""));
        // The fake server speaks plain HTTP.
        form->OnCheckClicked(ControlId::chkSSL, kUnchecked);
    }
    void Type(ControlId box, const std::string& text) {
        ASSERT_TRUE(form->OnFocusChanged(box));
        form->OnTextChanged(box, text);
    }
    void FillIn() {
        Type(ControlId::txtTovelaHost, "mail.example.com");
        Type(ControlId::txtUsuario, "demo");
        Type(ControlId::txtPassword, "pw");
    }
    void ClickOk() {
        form->OnFocusChanged(ControlId::cmdAceptar);
        form->OnButtonClicked(ControlId::cmdAceptar);
    }
    void Answer(std::vector<HttpReply> replies) {
        fakes.http->script.push_back(HttpReply(200, "OK"));  // the probe
        for (auto& reply : replies) fakes.http->script.push_back(std::move(reply));
    }
    const SettingsWindowModel& Shown() const { return fakes.form->shown; }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : fakes.desktop->boxes) {
            texts.push_back(std::to_string(box.style & ~kTopmost) + " " + box.text);
        }
        return texts;
    }

    testing::FakePlatform fakes;
    testing::RecordingDebugLog log;
    std::unique_ptr<frmMain> form;
};

TEST(SettingsApplyTest, FirstStartShowsTheEmptyWindowInJapanese) {
    Harness h;
    EXPECT_TRUE(h.Shown().visible);
    EXPECT_EQ(h.Shown().txtTovelaHost.text, "");
    EXPECT_EQ(h.Shown().lblServer.caption, "サーバー:");
    EXPECT_EQ(h.Shown().cmdCerrar.caption, "閉じる(&C)");
    EXPECT_EQ(h.Shown().fontName, "MS Shell Dlg");
    EXPECT_EQ(h.Shown().fontCharset, 128);
    EXPECT_TRUE(h.fakes.http->calls.empty());
    EXPECT_TRUE(h.fakes.timers->active.empty());
}

// Each way "OK" stops: before the server is asked, or after it refused.
TEST(SettingsApplyTest, OkStopsAtTheFirstProblem) {
    struct Case {
        const char* name;
        std::function<void(Harness&)> arrange;
        bool enterInHostBox;
        std::vector<std::string> boxes;
        ControlId focus;
        int beeps;
        std::size_t requests;
    } cases[] = {
        {"enter in the host box",
         [](Harness& h) { h.FillIn(); },
         true,
         {},
         ControlId::txtTovelaHost,
         0,
         0},
        {"a new host empties the password",
         [](Harness& h) {
             h.FillIn();
             h.Type(ControlId::txtTovelaHost, "other.example.com");
         },
         false,
         {std::string("64 ") + kMissing},
         ControlId::txtPassword,
         0,
         0},
        {"white list without a filter",
         [](Harness& h) {
             h.FillIn();
             h.form->OnOptionClicked(ControlId::optWhiteList);
             h.Type(ControlId::txtFilters, "");
         },
         false,
         {"32 リマインドする..."},
         ControlId::txtFilters,
         1,
         0},
        {"server unreachable",
         [](Harness& h) {
             h.FillIn();
             h.fakes.http->script.push_back(
                 HttpReply::Failure(kInetResourceNotFound, "host not found"));
         },
         false,
         {"48 http://mail.example.com/service/soap\r\nへのリクエストで次のエラーが発生しました。"
          "\r\nhost not found\r\n'安全な接続をする'のチェックを変更してみてください"},
         ControlId::txtUsuario,
         0,
         1},
        {"password refused",
         [](Harness& h) {
             h.FillIn();
             h.Answer({testing::Rejected()});
         },
         false,
         {"48 ユーザー名またはパスワードが正しくありません。demo"},
         ControlId::txtUsuario,
         0,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.arrange(h);
        if (c.enterInHostBox) {
            h.form->OnFocusChanged(ControlId::txtTovelaHost);
            h.form->OnButtonClicked(ControlId::cmdAceptar);  // Enter: the default button
        } else {
            h.ClickOk();
        }
        EXPECT_EQ(h.Boxes(), c.boxes);
        EXPECT_EQ(h.Shown().focused, c.focus);
        EXPECT_EQ(h.fakes.desktop->beeps, c.beeps);
        EXPECT_EQ(h.fakes.http->calls.size(), c.requests);
        EXPECT_TRUE(h.Shown().visible);
        EXPECT_TRUE(h.fakes.timers->active.empty());  // no polling until the entries work
        EXPECT_TRUE(h.fakes.form->checkBoxes.empty());
        EXPECT_TRUE(h.fakes.settings->writes.size() == 12u);  // only the start-up save
    }
    // A refused password leaves the box empty for the next try.
    Harness refused;
    refused.FillIn();
    refused.Answer({testing::Rejected()});
    refused.ClickOk();
    EXPECT_EQ(refused.Shown().txtPassword.text, "");
    EXPECT_EQ(refused.form->sPassword, "");
}

// A working account: the question about the mail program, the animation, the window gone,
// the settings saved, polling at the server's pace.
TEST(SettingsApplyTest, WorkingAccountAsksOnceHidesSavesAndPolls) {
    struct Case {
        const char* name;
        bool markedBefore;
        int answer;  // -1: the user said earlier not to ask again
        std::optional<std::string> minAnimate;
        bool asked, markedAfter;
        int animations;
    } cases[] = {
        {"yes", false, 6, "1", true, true, 1},
        {"no", false, 7, "1", true, false, 1},
        {"not asked again", false, -1, "1", true, false, 1},
        {"already the mail program", true, 6, "1", false, true, 1},
        {"animations off", false, 7, "0", true, false, 0},
        {"animation setting absent", false, 7, std::nullopt, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h([&](testing::FakePlatform& fakes) {
            if (c.markedBefore) fakes.settings->Put("mailtoHandler", "1");
        });
        h.fakes.form->checkAnswer = c.answer;
        h.fakes.form->minAnimate = c.minAnimate;
        h.FillIn();
        h.Answer({testing::LoginAnswer("120")});
        h.fakes.settings->writes.clear();
        h.ClickOk();

        ASSERT_EQ(h.fakes.form->checkBoxes.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            const auto& box = h.fakes.form->checkBoxes[0];
            EXPECT_EQ(box.text, "デフォルトのメールアプリケーションとして設定 ?");
            EXPECT_EQ(box.caption, "Tovela Notifier v6.1.0");
            EXPECT_EQ(box.style, 0x24u);
            EXPECT_EQ(box.defaultAnswer, -1);
            EXPECT_EQ(box.valueName, "{9489E348-4ABF-4402-A82E-5D3B3B012BCC}-DefaultMailClient");
        }
        EXPECT_EQ(h.form->menus.mnuPopWinSetupMailtoHandler.checked, c.markedAfter);
        EXPECT_EQ(h.fakes.form->animations, c.animations);
        EXPECT_FALSE(h.Shown().visible);
        EXPECT_EQ(h.fakes.settings->writes.size(), 12u);
        EXPECT_EQ(h.fakes.settings->Value("TovelaHost"), "mail.example.com");
        EXPECT_EQ(h.fakes.settings->Value("mailtoHandler"), c.markedAfter ? "1" : "0");
        ASSERT_EQ(h.fakes.timers->active.count(1684), 1u);
        EXPECT_EQ(h.fakes.timers->active.at(1684).milliseconds, 120'000u);
        EXPECT_TRUE(h.fakes.desktop->boxes.empty());
    }
}

}  // namespace
}  // namespace tovela

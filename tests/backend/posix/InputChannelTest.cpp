#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "fakes/FakeSettingsStore.h"
#include "platform/posix/InputChannel.h"

namespace tovela::posix {
namespace {

using nlohmann::json;

class RecordingForm final : public FormWindowEvents {
public:
    void OnTextChanged(ControlId box, const std::string& text) override {
        calls.push_back("text " + std::string(ControlName(box)) + " " + text);
    }
    void OnCheckClicked(ControlId box, int value) override {
        calls.push_back("check " + std::string(ControlName(box)) + " " + std::to_string(value));
    }
    void OnOptionClicked(ControlId option) override {
        calls.push_back("option " + std::string(ControlName(option)));
    }
    void OnButtonClicked(ControlId button) override {
        calls.push_back("button " + std::string(ControlName(button)));
    }
    bool OnFocusChanged(ControlId control) override {
        calls.push_back("focus " + std::string(ControlName(control)));
        return control != refuse;
    }
    void OnActivated() override { calls.push_back("activate"); }
    std::vector<std::string> calls;
    ControlId refuse = ControlId::None;
};

class RecordingSink final : public MailboxSink {
public:
    std::intptr_t OnCopyData(std::uint32_t, const std::optional<std::string>&) override {
        return 0;
    }
    void OnTrayCallback(std::int16_t n) override { notifications.push_back(n); }
    void OnTaskbarCreated() override {}
    std::vector<std::int16_t> notifications;
};

// The channel over a window that is on screen, without reading any descriptor: each
// command goes in through Execute.
class InputChannelTest : public ::testing::Test {
protected:
    InputChannelTest() {
        form.SetEvents(&events);
        SettingsWindowModel model;
        model.chkSSL.value = kChecked;
        form.Render(model);
        out.str("");
    }
    bool Run(const std::string& line) { return channel.Execute(line); }

    std::ostringstream out;
    ScriptedAnswers answers;
    testing::FakeSettingsStore* remembered = new testing::FakeSettingsStore;
    JsonFormWindow form{out, answers, std::unique_ptr<SettingsStore>(remembered)};
    EventLoop loop;
    PosixWindowSystem windows{loop};
    RecordingForm events;
    InputChannel channel{loop, -1, windows, form, answers};
};

TEST_F(InputChannelTest, ControlCommandsMoveTheFocusFirst) {
    EXPECT_TRUE(Run(R"({"do":"type","control":"txtUsuario","text":"taro"})"));
    EXPECT_TRUE(Run(R"({"do":"click","control":"chkSSL"})"));
    EXPECT_TRUE(Run(R"({"do":"click","control":"optWhiteList"})"));
    EXPECT_TRUE(Run(R"({"do":"key","key":"enter"})"));
    EXPECT_TRUE(Run(R"({"do":"close"})"));
    events.refuse = ControlId::txtFilters;  // validation keeps the focus elsewhere
    EXPECT_TRUE(Run(R"({"do":"type","control":"txtFilters","text":"x"})"));
    EXPECT_EQ(events.calls, (std::vector<std::string>{
                                "focus txtUsuario", "text txtUsuario taro", "focus chkSSL",
                                "check chkSSL 0", "focus optWhiteList", "option optWhiteList",
                                "button cmdAceptar", "button cmdCerrar", "focus txtFilters"}));
}

TEST_F(InputChannelTest, WhatIsNotACommandIsRefused) {
    for (const char* line :
         {"not json", "[1]", R"({"verb":"click"})", R"({"do":"fly"})",
          R"({"do":"type","control":"chkSSL","text":"x"})", R"({"do":"click","control":"nothing"})",
          R"({"do":"answer","button":"maybe"})", R"({"do":"menu"})",
          R"({"do":"click","hwnd":12345})"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(Run(line));
    }
    EXPECT_TRUE(events.calls.empty());
}

TEST_F(InputChannelTest, TrayClicksReachTheIconsWindowAsTheShellSendsThem) {
    RecordingSink main, appointment;
    auto mainWindow = windows.CreateMailboxWindow(main);
    auto appointmentWindow = windows.CreateMailboxWindow(appointment);
    EXPECT_TRUE(Run(R"({"do":"click","button":"right"})"));
    EXPECT_TRUE(Run(R"({"do":"dblclick"})"));
    EXPECT_TRUE(
        Run(R"({"do":"balloonClick","hwnd":)" + std::to_string(appointmentWindow->Handle()) + "}"));
    EXPECT_EQ(main.notifications,
              (std::vector<std::int16_t>{0x204, 0x205, 0x201, 0x202, 0x203, 0x202}));
    EXPECT_EQ(appointment.notifications, (std::vector<std::int16_t>{0x405}));
}

TEST_F(InputChannelTest, ScriptedAnswersGoToTheNextBoxesAndMenus) {
    const std::vector<MenuItem> menu = {
        {.command = 1, .name = "mnuPopAbrirTovela", .enabled = false},
        {.name = "mnuPopWinSetup", .submenu = {{.command = 4, .name = "mnuPopWinSetupAutoRun"}}}};
    EXPECT_TRUE(Run(R"({"do":"menu","item":"mnuPopAbrirTovela"})"));
    EXPECT_TRUE(Run(R"({"do":"menu","item":"mnuPopWinSetupAutoRun"})"));
    EXPECT_EQ(form.TrackPopupMenu(menu), 0);  // a greyed entry cannot be picked
    EXPECT_EQ(form.TrackPopupMenu(menu), 4);
    EXPECT_EQ(form.TrackPopupMenu(menu), 0);  // nothing said: closed without a pick

    // "Don't ask again" is kept: the question is not shown again and gives its default.
    EXPECT_TRUE(Run(R"({"do":"answer","button":"yes","dontAskAgain":true})"));
    EXPECT_EQ(form.MessageBoxCheck("Q ?", "T", 0x24, -1, "{X}-Q"), 6);
    out.str("");
    EXPECT_TRUE(Run(R"({"do":"answer","button":"no"})"));
    EXPECT_EQ(form.MessageBoxCheck("Q ?", "T", 0x24, -1, "{X}-Q"), -1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(answers.NextBox()->button, 7);  // still there for the next plain box
}

}  // namespace
}  // namespace tovela::posix

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/FakeTray.h"
#include "fakes/FakeWindowSystem.h"
#include "notify/TrayIcon.h"

namespace tovela {
namespace {

constexpr std::uintptr_t kMain = 0x7001;
constexpr std::uintptr_t kNewMail = 0x7002;
constexpr std::uintptr_t kCalendar = 0x7003;
constexpr const char* kTip = "Tovela Notifier v6.1.0";

class NoEvents final : public TrayIconEvents {
public:
    void OnMouseUp(MouseButton) override {}
    void OnMouseDown(MouseButton) override {}
    void OnDblClick(MouseButton) override {}
    void OnBalloonShow() override {}
    void OnBalloonHide() override {}
    void OnBalloonClick() override {}
    void OnAbreTovela(const std::string&) override {}
    void OnUploadFile(const std::string&) override {}
    void OnMapiMensaje(const std::string&) override {}
    void OnSettingsShowRequest() override {}
};

// Every field of the structure in one line, so a failure shows what differs.
std::string Describe(const NotifyIconData& d) {
    return "hWnd=" + std::to_string(d.hWnd) + " uID=" + std::to_string(d.uID) +
           " flags=" + std::to_string(d.uFlags) + " cb=" + std::to_string(d.uCallbackMessage) +
           " hIcon=" + std::to_string(d.hIcon) + " tip=[" + d.szTip +
           "] state=" + std::to_string(d.dwState) + "/" + std::to_string(d.dwStateMask) +
           " title=[" + d.szInfoTitle + "] info=[" + d.szInfo +
           "] infoFlags=" + std::to_string(d.dwInfoFlags) +
           " timeout=" + std::to_string(d.uTimeout);
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

class TrayIconTest : public ::testing::Test {
protected:
    // The structure as the icon must send it: the fixed fields plus the given ones.
    NotifyIconData Expected(std::uint32_t flags, std::uintptr_t hIcon, std::string tip,
                            std::string title, std::string info, std::uint32_t infoFlags) const {
        NotifyIconData d;
        d.hWnd = icon.hwnd();
        d.uFlags = flags;
        d.hIcon = hIcon;
        d.szTip = std::move(tip);
        d.szInfoTitle = std::move(title);
        d.szInfo = std::move(info);
        d.dwInfoFlags = infoFlags;
        return d;
    }

    testing::FakeWindowSystem windows;
    testing::FakeTray tray;
    NoEvents events;
    TrayIcon icon{windows, tray, events};
};

// One icon through every call: each writes its own fields, the rest stay from the call before.
TEST_F(TrayIconTest, EachCallWritesItsFieldsAndKeepsTheOthers) {
    struct Step {
        const char* name;
        std::function<void(TrayIcon&)> call;
        NotifyIconMessage message;
        NotifyIconData data;
    };
    const std::vector<Step> steps = {
        {"Iconizar", [](TrayIcon& i) { i.Iconizar(kMain); }, NotifyIconMessage::Add,
         Expected(0x07, kMain, kTip, "", "", 0)},
        {"IconAdd with unread mail", [](TrayIcon& i) { i.IconAdd("2 new\r\nfrom A", 2, kNewMail); },
         NotifyIconMessage::Modify,
         Expected(0x17, kNewMail, "2 new\r\nfrom A", "2 new", "from A", 4)},
        {"IconAdd notice keeps tip and picture",
         [](TrayIcon& i) { i.IconAdd("Briefcase\r\n3 files stored", 0, kMain); },
         NotifyIconMessage::Modify,
         Expected(0x17, kNewMail, "2 new\r\nfrom A", "Briefcase", "3 files stored", 1)},
        {"UpdateIconTip", [](TrayIcon& i) { i.UpdateIconTip(); }, NotifyIconMessage::Modify,
         Expected(0x04, kNewMail, kTip, "Briefcase", "3 files stored", 1)},
        {"IconizarCal", [](TrayIcon& i) { i.IconizarCal(kCalendar, "10:00 Meeting\r\nRoom 4"); },
         NotifyIconMessage::Modify,
         Expected(0x17, kCalendar, "10:00 Meeting\r\nRoom 4", "10:00 Meeting", "Room 4", 4)},
        {"IconReset", [](TrayIcon& i) { i.IconReset(kMain); }, NotifyIconMessage::Modify,
         Expected(0x06, kMain, kTip, "", "", 0)},
        {"Delete", [](TrayIcon& i) { i.Delete(); }, NotifyIconMessage::Delete,
         Expected(0x06, kMain, kTip, "", "", 0)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::size_t before = tray.calls.size();
        step.call(icon);
        ASSERT_EQ(tray.calls.size(), before + 1);
        EXPECT_EQ(tray.last().message, step.message);
        EXPECT_EQ(Describe(tray.last().data), Describe(step.data));
    }
}

TEST_F(TrayIconTest, BalloonTitleAndBodySplit) {
    struct Case {
        const char* name;
        std::string text;
        std::string title;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"title and body", "Title\r\nBody", "Title", "Body"},
        {"only the first break splits", "Title\r\nBody\r\nMore", "Title", "Body\r\nMore"},
        {"no break: all title", "Just a title", "Just a title", ""},
        {"empty body", "Title\r\n", "Title", ""},
        {"empty title", "\r\nBody", "", "Body"},
        {"empty", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        icon.IconizarCal(kCalendar, c.text, true);
        EXPECT_EQ(tray.last().data.szInfoTitle, c.title);
        EXPECT_EQ(tray.last().data.szInfo, c.body);
        icon.IconAdd(c.text, 1, kNewMail);
        EXPECT_EQ(tray.last().data.szInfoTitle, c.title);
        EXPECT_EQ(tray.last().data.szInfo, c.body);
    }
}

TEST_F(TrayIconTest, TextsAreCutToTheirFieldsInUtf16Units) {
    const std::string a = "あ";             // one UTF-16 unit, three bytes
    const std::string pair = "\U0001F600";  // two UTF-16 units
    struct Case {
        const char* name;
        std::string text;
        std::string tip;
        std::string title;
        std::string info;
    };
    const std::vector<Case> cases = {
        {"ASCII cut at 127", Repeat("x", 128), Repeat("x", 127), Repeat("x", 63), ""},
        {"Japanese tip cut at 127", Repeat(a, 200), Repeat(a, 127), Repeat(a, 63), ""},
        {"pair ending at unit 127 stays", Repeat(a, 125) + pair, Repeat(a, 125) + pair,
         Repeat(a, 63), ""},
        {"pair across unit 127 goes whole", Repeat(a, 126) + pair + "x", Repeat(a, 126),
         Repeat(a, 63), ""},
        {"pair across unit 63 of the title", Repeat(a, 62) + pair + "\r\nb",
         Repeat(a, 62) + pair + "\r\nb", Repeat(a, 62), "b"},
        {"body cut at 255", "t\r\n" + Repeat(a, 254) + pair, "t\r\n" + Repeat(a, 124), "t",
         Repeat(a, 254)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        icon.IconizarCal(kCalendar, c.text, true);
        EXPECT_EQ(tray.last().data.szTip, c.tip);
        EXPECT_EQ(tray.last().data.szInfoTitle, c.title);
        EXPECT_EQ(tray.last().data.szInfo, c.info);
    }
}

TEST_F(TrayIconTest, ShellRestartAddsEveryShownIconAgainWithItsLastData) {
    TrayIcon appointment{windows, tray, events};
    TrayIcon neverShown{windows, tray, events};
    TrayIcon removed{windows, tray, events};
    icon.Iconizar(kMain);
    icon.IconAdd("1 new\r\nfrom B", 1, kNewMail);
    appointment.IconizarCal(kCalendar, "10:00 Meeting\r\nRoom 4", true);
    removed.IconizarCal(kCalendar, "9:00 Call\r\n", true);
    removed.Delete();
    const NotifyIconData mainLast = icon.Data();
    const NotifyIconData appointmentLast = appointment.Data();

    tray.shown.clear();  // the new shell knows no icons
    const std::size_t before = tray.calls.size();
    for (auto* window : windows.live) window->sink().OnTaskbarCreated();

    ASSERT_EQ(tray.calls.size(), before + 2);
    ASSERT_EQ(tray.shown.size(), 2u);
    EXPECT_EQ(tray.calls[before].message, NotifyIconMessage::Add);
    EXPECT_EQ(Describe(tray.shown.at(icon.hwnd())), Describe(mainLast));
    EXPECT_EQ(Describe(tray.shown.at(appointment.hwnd())), Describe(appointmentLast));
}

TEST_F(TrayIconTest, AnIconGoesWithItsObjectButIsRemovedOnlyOnce) {
    {
        TrayIcon shown{windows, tray, events};
        shown.Iconizar(kMain);
        ASSERT_TRUE(tray.shown.contains(shown.hwnd()));
    }
    EXPECT_TRUE(tray.shown.empty());
    EXPECT_EQ(tray.last().message, NotifyIconMessage::Delete);

    const std::size_t calls = tray.calls.size();
    {
        TrayIcon deleted{windows, tray, events};
        deleted.Iconizar(kMain);
        deleted.Delete();
        EXPECT_FALSE(deleted.IconShown());
        TrayIcon neverShown{windows, tray, events};
    }
    EXPECT_EQ(tray.calls.size(), calls + 2);  // the add and the one delete
}

}  // namespace
}  // namespace tovela

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "fakes/FakeTray.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/RecordingDebugLog.h"
#include "notify/TrayIcon.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr std::uintptr_t kMain = 0x7001;
constexpr std::uintptr_t kNewMail = 0x7002;
constexpr std::uintptr_t kCalendar = 0x7003;
constexpr const char* kTip = "Tovela Notifier v6.1.0";

using Events = std::vector<std::string>;

class RecordingEvents final : public TrayIconEvents {
public:
    void OnMouseUp(MouseButton b) override { Add("MouseUp", b); }
    void OnMouseDown(MouseButton b) override { Add("MouseDown", b); }
    void OnDblClick(MouseButton b) override { Add("DblClick", b); }
    void OnBalloonShow() override { events.push_back("BalloonShow"); }
    void OnBalloonHide() override { events.push_back("BalloonHide"); }
    void OnBalloonClick() override { events.push_back("BalloonClick"); }
    void OnAbreTovela(const std::string& s) override { events.push_back("Abre:" + s); }
    void OnUploadFile(const std::string& s) override {
        events.push_back("Upload:" + s);
        if (duringHandler) duringHandler();
    }
    void OnMapiMensaje(const std::string& s) override {
        events.push_back("Mapi:" + s);
        if (duringHandler) duringHandler();
    }
    void OnSettingsShowRequest() override { events.push_back("Settings"); }

    void Add(const char* what, MouseButton b) {
        events.push_back(std::string(what) + std::to_string(static_cast<int>(b)));
    }
    Events events;
    std::function<void()> duringHandler;
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
    RecordingEvents events;
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
        // One unread mail is the boundary: it already changes the picture and the tip.
        {"IconAdd with unread mail", [](TrayIcon& i) { i.IconAdd("2 new\r\nfrom A", 1, kNewMail); },
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

// What the icon's window receives from a second start, the mail library and the shell.

TEST_F(TrayIconTest, SecondStartRequestsArriveDecoded) {
    testing::RecordingDebugLog log;
    for (const char* line : {"mailto:a@b?subject=Hi", "/settings", "\"C:\\a b\\c.txt\""}) {
        ForwardedRequest request = BuildForwardedRequest(line, log);
        EXPECT_EQ(icon.OnCopyData(static_cast<std::uint32_t>(request.kind), request.payload), 0);
    }
    EXPECT_EQ(events.events,
              (Events{"Abre:a@b&subject=Hi", "Settings", "Upload:\"C:\\a b\\c.txt\""}));
}

TEST_F(TrayIconTest, PayloadsByKind) {
    // Unknown kinds raise nothing; a missing or broken payload gives empty text; the mail
    // library's text is passed on as received.
    EXPECT_EQ(icon.OnCopyData(1720, std::string("QQA=")), 0);
    EXPECT_EQ(icon.OnCopyData(1725, std::string("QQA=")), 0);
    icon.OnCopyData(1721, std::nullopt);
    icon.OnCopyData(1721, std::string());
    icon.OnCopyData(1722, std::string("not base64!"));
    icon.OnCopyData(1723, std::string("QQA="));
    EXPECT_EQ(events.events, (Events{"Abre:", "Abre:", "Upload:", "Mapi:QQA="}));
}

// The form keeps what arrives while it submits, so a request is never dropped.
TEST_F(TrayIconTest, UploadAndMapiArriveAlsoWhileEitherIsHandled) {
    // A second icon's window shares the busy flag, as every mailbox window does.
    RecordingEvents otherEvents;
    TrayIcon other{windows, tray, otherEvents};
    events.duringHandler = [&] {
        events.duringHandler = nullptr;  // the nested requests below must not recurse
        other.OnCopyData(1723, std::string("second"));
        icon.OnCopyData(1722, Base64Encode("C:\\x"));
        icon.OnCopyData(1721, std::nullopt);  // open and settings still get through
        icon.OnCopyData(1724, std::nullopt);
    };
    icon.OnCopyData(1723, std::string("first"));
    EXPECT_EQ(events.events, (Events{"Mapi:first", "Upload:C:\\x", "Abre:", "Settings"}));
    EXPECT_EQ(otherEvents.events, (Events{"Mapi:second"}));
    EXPECT_FALSE(TrayIcon::bEnProceso);

}

TEST_F(TrayIconTest, ShellNotificationsBecomeMouseAndBalloonEvents) {
    for (int n : {0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0206, 0x0207, 0x0208, 0x0209, 0x0200,
                  0x0402, 0x0403, 0x0404, 0x0405}) {
        icon.OnTrayCallback(static_cast<std::int16_t>(n));
    }
    EXPECT_EQ(events.events, (Events{"MouseDown1", "MouseUp1", "DblClick1", "MouseDown2",
                                     "MouseUp2", "DblClick2", "MouseDown4", "MouseUp4", "DblClick4",
                                     "BalloonShow", "BalloonHide", "BalloonClick"}));
}

}  // namespace
}  // namespace tovela

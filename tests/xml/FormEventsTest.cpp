// What the main form does for each tray event, and the actions of its menus: webmail and
// the appointments' reminders.
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

constexpr std::int64_t kMinute = 60'000;
constexpr const char* kWebmail =
    "https://mail.example.com/service/preauth?isredirect=1&authtoken=TOK&redirectURL="
    "https://mail.example.com/";

// A logged-in form (webmail opens logged in) with a due appointment "A1" on the tray.
struct LoggedIn {
    LoggedIn() {
        fakes.platform.xml = testing::MakeXmlFactory();
        fakes.settings->Put("TovelaHost", "mail.example.com");
        fakes.settings->Put("Username", "demo");
        fakes.settings->Put("Password", "text:pw");
        fakes.settings->Put("WebmailLogin", "1");
        fakes.http->script = {HttpReply(200, "OK"), testing::LoginAnswer()};
        form = std::make_unique<frmMain>(fakes.platform, &log);
        EXPECT_TRUE(form->Form_Load(""));
        Tick(testing::ListingAnswer(
            testing::Appt("A1", fakes.clock->utcMs - kMinute, 60 * kMinute, "isOrg=\"1\"")));
        EXPECT_NE(Reminder(), nullptr);
    }
    void Tick(HttpReply reply) {
        fakes.http->script.push_back(std::move(reply));
        fakes.timers->Fire(1684);
    }
    Icontify* Reminder() {
        const int index = form->calendar.FindApptIndex("A1");
        return index > 0 ? form->calendar.aCalIcons[static_cast<std::size_t>(index)].get()
                         : nullptr;
    }
    MailboxSink& MainWindow() { return *fakes.windows->FirstMailbox(); }
    MailboxSink& ReminderWindow() { return fakes.windows->live.back()->sink(); }
    std::size_t Requests() const { return fakes.http->calls.size(); }

    testing::FakePlatform fakes;
    testing::RecordingDebugLog log;
    std::unique_ptr<frmMain> form;
};

// The shell's notifications on the icons' windows, and a second start's requests.
TEST(FormEventsTest, EachTrayEventDoesWhatItSays) {
    constexpr std::int16_t kLeftUp = 0x202, kLeftDouble = 0x203, kRightUp = 0x205,
                           kRightDouble = 0x206, kMiddleUp = 0x208, kBalloonShow = 0x402,
                           kBalloonClick = 0x405;
    struct Case {
        const char* name;
        std::function<void(LoggedIn&)> act;
        std::size_t requests;  // sent to the server
        std::size_t opened;    // webmail launches
        std::size_t menus;     // menus popped up
        bool windowShown;
    } cases[] = {
        {"left click checks",
         [](LoggedIn& l) {
             l.fakes.http->script.push_back(testing::SessionAnswer());
             l.MainWindow().OnTrayCallback(kLeftUp);
         },
         1, 0, 0, false},
        {"right click opens the tray menu",
         [](LoggedIn& l) { l.MainWindow().OnTrayCallback(kRightUp); }, 0, 0, 1, false},
        {"middle click opens webmail",
         [](LoggedIn& l) { l.MainWindow().OnTrayCallback(kMiddleUp); }, 0, 1, 0, false},
        {"double click opens webmail",
         [](LoggedIn& l) { l.MainWindow().OnTrayCallback(kLeftDouble); }, 0, 1, 0, false},
        {"right double click does nothing",
         [](LoggedIn& l) { l.MainWindow().OnTrayCallback(kRightDouble); }, 0, 0, 0, false},
        {"balloon click opens webmail",
         [](LoggedIn& l) { l.MainWindow().OnTrayCallback(kBalloonClick); }, 0, 1, 0, false},
        {"second start opens webmail",
         [](LoggedIn& l) { l.MainWindow().OnCopyData(1721, std::nullopt); }, 0, 1, 0, false},
        {"second start asks for the settings",
         [](LoggedIn& l) { l.MainWindow().OnCopyData(1724, std::nullopt); }, 0, 0, 0, true},
        {"click on a reminder opens its menu",
         [](LoggedIn& l) { l.ReminderWindow().OnTrayCallback(kLeftUp); }, 0, 0, 1, false},
        {"click on a reminder's balloon opens its menu",
         [](LoggedIn& l) { l.ReminderWindow().OnTrayCallback(kBalloonClick); }, 0, 0, 1, false},
        {"double click on a reminder does nothing",
         [](LoggedIn& l) { l.ReminderWindow().OnTrayCallback(kLeftDouble); }, 0, 0, 0, false},
        {"second start through a reminder's window",
         [](LoggedIn& l) { l.ReminderWindow().OnCopyData(1724, std::nullopt); }, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoggedIn l;
        const std::size_t before = l.Requests();
        c.act(l);
        EXPECT_EQ(l.Requests() - before, c.requests);
        EXPECT_EQ(l.fakes.shell->opened.size(), c.opened);
        EXPECT_EQ(l.fakes.form->menus.size(), c.menus);
        EXPECT_EQ(l.fakes.form->shown.visible, c.windowShown);
        EXPECT_TRUE(l.fakes.desktop->boxes.empty());
    }

    // A shown reminder balloon may be shown again by a later check.
    LoggedIn l;
    l.Reminder()->bReminderShown = true;
    l.ReminderWindow().OnTrayCallback(kBalloonShow);
    EXPECT_FALSE(l.Reminder()->bReminderShown);
}

TEST(FormEventsTest, WebmailOpensOnceInThreeSecondsAndComposeAlwaysOpens) {
    LoggedIn l;
    const auto webmailTab = l.fakes.desktopWindows->Add("Chrome_WidgetWin_1", "Inbox - Tovela: x");
    l.form->OnDblClick(MouseButton::Left);
    l.form->OnBalloonClick();  // the same second
    l.fakes.clock->utcMs += 2'999;
    l.form->OnDblClick(MouseButton::Left);
    EXPECT_EQ(l.fakes.desktopWindows->broughtToFront, (std::vector<std::uintptr_t>{webmailTab}));
    EXPECT_TRUE(l.fakes.shell->opened.empty());

    l.fakes.clock->utcMs += 1;
    l.MainWindow().OnCopyData(1721, std::string("YQBAAGIAJgBzAHUAYgBqAGUAYwB0AD0ASABpAA=="));
    EXPECT_EQ(l.fakes.shell->opened,
              (std::vector<std::string>{std::string(kWebmail) +
                                        "%3Fview=compose%26to=a@b%26subject=Hi"}));
}

TEST(FormEventsTest, WebmailWithoutASessionBringsUpTheSettings) {
    LoggedIn l;
    l.form->session.sAuthToken.clear();
    l.form->OnDblClick(MouseButton::Left);
    EXPECT_TRUE(l.fakes.shell->opened.empty());
    EXPECT_TRUE(l.fakes.form->shown.visible);
    EXPECT_EQ(l.fakes.form->topmosts, 1);
}

// Servers that hand the session to the browser: the program logs in anew at the next check.
TEST(FormEventsTest, HandedOverSessionLogsInAgain) {
    LoggedIn l;
    l.form->session.sServerVersion = "10.0.0_GA_1";
    l.form->OnDblClick(MouseButton::Left);
    EXPECT_EQ(l.fakes.shell->opened,
              (std::vector<std::string>{"https://mail.example.com/service/preauth?authtoken=TOK"}));
    EXPECT_EQ(l.form->session.sAuthToken, "");
    EXPECT_EQ(l.form->PollInterval, 3);
    l.Tick(testing::LoginAnswer());
    EXPECT_NE(l.fakes.http->calls.back().body.find("<AuthRequest"), std::string::npos);
}

TEST(FormEventsTest, DeletingAReminderAsksAndTellsTheServer) {
    const std::string fault =
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
        "<soap:Fault><soap:Reason><soap:Text>no such appointment: A1-A1</soap:Text>"
        "</soap:Reason></soap:Fault></soap:Body></soap:Envelope>";
    struct Case {
        const char* name;
        int answer;
        std::function<void(LoggedIn&)> arrange;
        std::optional<HttpReply> reply;
        bool sent, removed;
        std::vector<std::string> boxes;
    } cases[] = {
        {"yes", 6, {}, testing::SessionAnswer(), true, true, {}},
        {"no", 7, {}, std::nullopt, false, false, {}},
        {"no session",
         6,
         [](LoggedIn& l) { l.form->session.sSessionId.clear(); },
         std::nullopt,
         false,
         false,
         {"Sesión expirada"}},
        {"server unreachable",
         6,
         {},
         HttpReply::Failure(kInetResourceNotFound, "gone"),
         true,
         false,
         {}},
        {"fault", 6, {}, HttpReply(500, "Error", fault), true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoggedIn l;
        if (c.arrange) c.arrange(l);
        l.fakes.desktop->answers = {c.answer};
        if (c.reply) l.fakes.http->script.push_back(*c.reply);
        l.fakes.form->picks = {static_cast<int>(MenuCommand::mnuCalEliminar)};
        const std::size_t before = l.Requests();
        l.ReminderWindow().OnTrayCallback(0x202);

        ASSERT_GE(l.fakes.desktop->boxes.size(), 1u);
        EXPECT_EQ(l.fakes.desktop->boxes[0].text, "この予約をTovelaカレンダーから削除しますか？");
        EXPECT_EQ(l.fakes.desktop->boxes[0].style, 36u | 0x40000u);
        std::vector<std::string> later;
        for (std::size_t i = 1; i < l.fakes.desktop->boxes.size(); ++i) {
            later.push_back(l.fakes.desktop->boxes[i].text);
        }
        EXPECT_EQ(later, c.boxes);
        EXPECT_EQ(l.Requests() - before, c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_NE(l.fakes.http->calls.back().body.find(
                          "<CancelAppointmentRequest xmlns=\"urn:tovelaMail\" id=\"A1-A1\""),
                      std::string::npos);
        }
        EXPECT_EQ(l.Reminder() == nullptr, c.removed);
        EXPECT_EQ(l.form->nCalItem, -1);
        EXPECT_FALSE(l.form->bCancelando);
    }
}

// A menu may stay open while checks run; its actions find their appointment again.
TEST(FormEventsTest, CalendarMenuActionsSurviveChecksWhileItIsOpen) {
    LoggedIn l;
    l.fakes.form->picks = {static_cast<int>(MenuCommand::mnuCalEliminar)};
    l.fakes.form->whileMenuIsOpen = [&] {
        // The appointment ended and a check released it.
        l.fakes.clock->utcMs += 2 * 60 * kMinute;
        l.Tick(testing::SessionAnswer());
    };
    const std::size_t before = l.Requests();
    l.ReminderWindow().OnTrayCallback(0x202);
    EXPECT_EQ(l.Requests() - before, 1u);  // the check only; nothing to delete or ask about
    EXPECT_TRUE(l.fakes.desktop->boxes.empty());

    // A second delete while the first waits for the server reports no success.
    LoggedIn busy;
    busy.form->bCancelando = true;
    busy.fakes.desktop->answers = {6};
    busy.fakes.form->picks = {static_cast<int>(MenuCommand::mnuCalEliminar)};
    busy.ReminderWindow().OnTrayCallback(0x202);
    EXPECT_NE(busy.Reminder(), nullptr);
    EXPECT_TRUE(busy.Reminder()->IconShown());
}

TEST(FormEventsTest, ReminderToggleHidesAtOnceAndShowsAgainOnlyWhenChecked) {
    LoggedIn l;
    l.fakes.form->picks = {static_cast<int>(MenuCommand::mnuCalNotificar)};
    l.ReminderWindow().OnTrayCallback(0x202);
    ASSERT_NE(l.Reminder(), nullptr);
    EXPECT_FALSE(l.Reminder()->bNotify);
    EXPECT_FALSE(l.Reminder()->IconShown());
    EXPECT_TRUE(l.fakes.form->menus[0][5].checked == true);  // it was on when the menu opened

    // Switched back on from the menu of another icon's window is not possible (it has
    // none); the flag alone comes back and the next check shows it.
    l.Reminder()->bNotify = true;
    EXPECT_FALSE(l.Reminder()->IconShown());
    l.Tick(testing::ListingAnswer(
        testing::Appt("A1", l.fakes.clock->utcMs - kMinute, 60 * kMinute, "isOrg=\"1\"")));
    EXPECT_TRUE(l.Reminder()->IconShown());
}

// The mail item's mark shows the registry as it is when the menu opens, whatever was stored.
TEST(FormEventsTest, TrayMenuMarksTheMailItemByTheRegistry) {
    LoggedIn l;
    for (const char* client : {"Tovela Notifier", "Other Mail"}) {
        SCOPED_TRACE(client);
        l.fakes.registry->PutText("HKCU\\Software\\Clients\\Mail", "", client);
        l.MainWindow().OnTrayCallback(0x205);
        const std::vector<MenuItem>& menu = l.fakes.form->menus.back();
        EXPECT_EQ(menu[3].submenu[0].checked, std::string(client) == "Tovela Notifier");
    }
}

}  // namespace
}  // namespace tovela

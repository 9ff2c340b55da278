#include <gtest/gtest.h>

#include <functional>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "xml/SessionAnswers.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

using testing::HttpReply;
using testing::kEnvelopeHead;
using testing::LoginAnswer;
using testing::Rejected;
using testing::SessionAnswer;

// The main form on fakes with the real XML engine: the whole check cycle but the network.
class CheckCycleTest : public ::testing::Test {
protected:
    CheckCycleTest() {
        fakes.platform.xml = testing::MakeXmlFactory();
        fakes.timeZone->bias = -540;  // Tokyo
        fakes.settings->Put("TovelaHost", "mail.example.com");
        fakes.settings->Put("Username", "demo");
        fakes.settings->Put("Password", "text:pw");
    }
    // Loads the form; the first check answers with `first`.
    void Load(std::vector<HttpReply> first) {
        http().script.push_back(HttpReply(200, "OK"));  // the probe
        for (auto& reply : first) http().script.push_back(std::move(reply));
        ASSERT_TRUE(form.Form_Load(""));
    }
    testing::ScriptedHttp& http() { return *fakes.http; }
    std::uint32_t TimerMs() { return fakes.timers->active.at(1684).milliseconds; }
    std::size_t Logins() {
        std::size_t n = 0;
        for (const auto& call : http().calls)
            n += call.body.find("<AuthRequest") != std::string::npos;
        return n;
    }
    void Tick(HttpReply reply) {
        http().script.push_back(std::move(reply));
        fakes.timers->Fire(1684);
    }

    testing::FakePlatform fakes;
    testing::RecordingDebugLog log;
    frmMain form{fakes.platform, &log};
};

TEST_F(CheckCycleTest, SuccessPollsOnTheServersIntervalAndFailureRetriesSoon) {
    Load({LoginAnswer("120")});
    EXPECT_EQ(form.session.sAuthToken, "TOK");
    EXPECT_FALSE(form.settings.Model().visible);
    EXPECT_EQ(TimerMs(), 120'000u);
    EXPECT_EQ(form.settings.Model().lblMailPollInterval.caption, "120");

    Tick(HttpReply::Failure(kInetDownloadFailure, "connection reset"));
    EXPECT_EQ(TimerMs(), 10'000u);
    EXPECT_NE(form.session.sLastError.find("connection reset"), std::string::npos);

    Tick(SessionAnswer());
    EXPECT_EQ(TimerMs(), 120'000u);
    // The window was unlocked after every check.
    EXPECT_TRUE(form.settings.Model().txtTovelaHost.enabled);
    EXPECT_FALSE(form.settings.Model().busyPointer);
}

TEST_F(CheckCycleTest, TickWhileTheSettingsAreOpenOrACheckRunsSendsNothing) {
    Load({LoginAnswer()});
    const std::size_t calls = http().calls.size();
    form.settings.ShowSettingsWindow();
    EXPECT_TRUE(form.Comprobar(true));
    fakes.timers->Fire(1684);
    EXPECT_EQ(http().calls.size(), calls);
    EXPECT_EQ(TimerMs(), 120'000u);  // the normal pace continues

    form.settings.HideSettingsWindow();
    form.bComprobando = true;  // a check waiting for the server
    EXPECT_TRUE(form.Comprobar(false));
    EXPECT_EQ(http().calls.size(), calls);
}

// The end of the session can arrive while a check waits for the server or shows a box of
// its own: the answer that comes in afterwards must not start the timer again or leave
// anything in the tray, whoever started the check.
TEST_F(CheckCycleTest, ShutdownWhileACheckWaitsLeavesNothingBehind) {
    const struct {
        const char* name;
        std::function<void(frmMain&, testing::FakePlatform&)> check;
    } starters[] = {
        {"poll timer", [](frmMain&, testing::FakePlatform& p) { p.timers->Fire(1684); }},
        {"left click", [](frmMain& f, testing::FakePlatform&) { f.OnMouseUp(MouseButton::Left); }},
    };
    for (const auto& starter : starters) {
        SCOPED_TRACE(starter.name);
        testing::FakePlatform platform;
        platform.platform.xml = testing::MakeXmlFactory();
        platform.settings->Put("TovelaHost", "mail.example.com");
        platform.settings->Put("Username", "demo");
        platform.settings->Put("Password", "text:pw");
        platform.http->script = {HttpReply(200, "OK"), LoginAnswer()};
        frmMain f(platform.platform, &log);
        ASSERT_TRUE(f.Form_Load(""));
        ASSERT_FALSE(platform.notifyIcons->shown.empty());

        HttpReply answer = SessionAnswer();
        answer.during = [&f] { f.mnuPopSalir_Click(); };
        platform.http->script.push_back(std::move(answer));
        starter.check(f, platform);
        EXPECT_TRUE(platform.timers->active.empty());
        EXPECT_TRUE(platform.notifyIcons->shown.empty());
        EXPECT_EQ(platform.loop->quitCalls, 1);
    }
}

// A reminder listed by one answer stays until it ends; a change of account empties the
// table at the next check, before anything of the new account is read.
TEST_F(CheckCycleTest, RemindersEndWithTheirAppointmentOrTheAccount) {
    const std::int64_t nowMs = fakes.clock->utcMs;
    const auto listing = [](std::int64_t startMs, std::int64_t durationMs) {
        return testing::ListingAnswer(testing::Appt("A1", startMs, durationMs));
    };
    const auto reminders = [this] {
        std::size_t n = 0;
        for (const auto& icon : form.calendar.aCalIcons) n += icon != nullptr;
        return n;
    };
    Load({LoginAnswer()});
    Tick(listing(nowMs - 60'000, 3'600'000));  // began a minute ago, runs an hour
    EXPECT_EQ(reminders(), 1u);

    fakes.clock->utcMs += 2 * 3'600'000;  // over; the next answer does not list it
    Tick(SessionAnswer());
    EXPECT_EQ(reminders(), 0u);

    Tick(listing(fakes.clock->utcMs - 60'000, 3'600'000));
    ASSERT_EQ(reminders(), 1u);
    form.settings.SetText(ControlId::txtUsuario, "other");
    Tick(LoginAnswer());
    EXPECT_EQ(reminders(), 0u);
}

// Unread mail in the first answer: the new-mail picture on the main icon and the chime
// from the program's own folder; without the file the speaker beeps.
TEST_F(CheckCycleTest, NewMailChimesWithTheWaveBesideTheProgram) {
    fakes.settings->Put("Sonido", "1");
    fakes.desktop->files = {"/opt/tovela/unread.wav"};
    std::string answer = LoginAnswer().body;
    answer.replace(answer.find("</refresh>"), 0,
                   "<folder id=\"1\" name=\"USER_ROOT\"><folder id=\"2\" name=\"Inbox\" "
                   "l=\"1\" u=\"1\"/></folder>");
    Load({HttpReply(200, "OK", answer)});
    EXPECT_EQ(fakes.desktop->sounds, (std::vector<std::string>{"/opt/tovela/unread.wav"}));
    EXPECT_EQ(fakes.desktop->beeps, 0);
    EXPECT_EQ(fakes.notifyIcons->calls.back().data.hIcon,
              fakes.desktop->IconHandle(ProgramIcon::NewMail));
}

// The day of the last batch decides whether the coming day is listed again; the flag
// itself is used up by the listing of the same response.
TEST_F(CheckCycleTest, NewDayOnTheFirstBatchAndAfterMidnight) {
    fakes.clock->utcMs = 1796566800000;  // 2026-12-06 14:20 UTC, 23:20 in Tokyo
    Load({LoginAnswer()});
    EXPECT_EQ(form.sUltimoDia, "");  // the login is no batch of the day

    Tick(SessionAnswer());
    EXPECT_EQ(form.sUltimoDia, "2026/12/06");
    EXPECT_FALSE(form.bNewDay);

    fakes.clock->utcMs += 20 * 60 * 1000;  // 23:40, same day
    Tick(SessionAnswer());
    EXPECT_EQ(form.sUltimoDia, "2026/12/06");

    fakes.clock->utcMs += 30 * 60 * 1000;  // 00:10 the next day
    Tick(SessionAnswer());
    EXPECT_EQ(form.sUltimoDia, "2026/12/07");
}

TEST_F(CheckCycleTest, EditingTheUserNameLogsInAgain) {
    Load({LoginAnswer()});
    Tick(SessionAnswer());
    EXPECT_EQ(Logins(), 1u);
    form.settings.SetText(ControlId::txtUsuario, "other");
    Tick(LoginAnswer());
    EXPECT_EQ(Logins(), 2u);
    EXPECT_NE(http().calls.back().body.find("<account by=\"name\">other</account>"),
              std::string::npos);
}

TEST_F(CheckCycleTest, RejectedLoginIsNotRepeatedWithoutAPassword) {
    Load({Rejected()});
    EXPECT_EQ(form.sPassword, "");
    EXPECT_TRUE(form.settings.Model().visible);  // left open for a correction
    EXPECT_EQ(TimerMs(), 10'000u);
    EXPECT_NE(form.session.sLastError.find("ユーザー名またはパスワードが正しくありません。demo"),
              std::string::npos);

    fakes.timers->Fire(1684);
    form.settings.HideSettingsWindow();
    fakes.timers->Fire(1684);
    EXPECT_EQ(Logins(), 1u);
}

}  // namespace
}  // namespace tovela

#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

using testing::HttpReply;

const std::string kEnvelopeHead =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
    "<context xmlns=\"urn:tovela\"><session id=\"S1\">S1</session><change token=\"5\"/>"
    "<refresh><version>8.8.15_GA</version></refresh></context></soap:Header><soap:Body>";

HttpReply LoginAnswer(const std::string& poll = "120") {
    return HttpReply(
        200, "OK",
        kEnvelopeHead +
            "<BatchResponse xmlns=\"urn:tovela\"><AuthResponse xmlns=\"urn:tovelaAccount\">"
            "<authToken>TOK</authToken><session id=\"S1\">S1</session><prefs>"
            "<pref name=\"tovelaPrefMailPollingInterval\">" +
            poll +
            "</pref>"
            "</prefs></AuthResponse></BatchResponse></soap:Body></soap:Envelope>");
}

HttpReply SessionAnswer() {
    return HttpReply(
        200, "OK",
        kEnvelopeHead + "<BatchResponse xmlns=\"urn:tovela\"/></soap:Body></soap:Envelope>");
}

HttpReply Rejected() {
    return HttpReply(
        500, "Internal Server Error",
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
        "<soap:Fault><soap:Reason><soap:Text>authentication failed for demo</soap:Text>"
        "</soap:Reason><soap:Detail><Error xmlns=\"urn:tovela\"><Code>account.AUTH_FAILED"
        "</Code></Error></soap:Detail></soap:Fault></soap:Body></soap:Envelope>");
}

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

// The end of the session can arrive while a tick waits for the server: the answer that
// comes in afterwards must not start the timer again or leave anything in the tray.
TEST_F(CheckCycleTest, ShutdownWhileACheckWaitsLeavesNothingBehind) {
    Load({LoginAnswer()});
    ASSERT_FALSE(fakes.notifyIcons->shown.empty());
    HttpReply answer = SessionAnswer();
    answer.during = [this] { form.mnuPopSalir_Click(); };
    Tick(std::move(answer));
    EXPECT_TRUE(fakes.timers->active.empty());
    EXPECT_TRUE(fakes.notifyIcons->shown.empty());
    EXPECT_EQ(fakes.loop->quitCalls, 1);
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

#include <gtest/gtest.h>

#include <vector>

#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "session/ProcessResponse.h"
#include "submit/TextEncodings.h"
#include "xml/XmlEngine.h"

namespace tovela {
namespace {

class RecordingEffects final : public ResponseEffects {
public:
    void ResetMainIcon() override { calls.push_back("ResetMainIcon"); }
    void ShowPollInterval(std::int32_t s) override { calls.push_back("Poll " + std::to_string(s)); }
    void DeleteBriefcaseShortcut() override { calls.push_back("DeleteBriefcase"); }
    void RefreshBlock(const XmlNode&) override { calls.push_back("Refresh"); }
    void NotifyBlocks(const XmlNode&) override { calls.push_back("Notify"); }
    void AppointmentListing(const XmlNode&) override { calls.push_back("Appointments"); }
    void SummaryAndAlerts() override { calls.push_back("Summary"); }
    bool Called(const std::string& what) const {
        return std::find(calls.begin(), calls.end(), what) != calls.end();
    }
    std::vector<std::string> calls;
};

// A SOAP 1.2 answer as the server writes it: prefixed envelope, default namespaces inside.
std::string Envelope(const std::string& context, const std::string& body) {
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
           "<soap:Header><context xmlns=\"urn:tovela\">" +
           context +
           "</context></soap:Header>"
           "<soap:Body>" +
           body + "</soap:Body></soap:Envelope>";
}

std::string Fault(const std::string& text) {
    return Envelope("",
                    "<soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code>"
                    "<soap:Reason><soap:Text>" +
                        text +
                        "</soap:Text></soap:Reason>"
                        "<soap:Detail><Error xmlns=\"urn:tovela\"><Code>service.FAILURE</Code>"
                        "</Error></soap:Detail></soap:Fault>");
}

std::string Pref(const std::string& name, const std::string& value) {
    return "<pref name=\"" + name + "\">" + value + "</pref>";
}

std::string Login(
    const std::string& version, const std::string& prefs, const std::string& extra = "",
    const std::string& info =
        "<GetInfoResponse xmlns=\"urn:tovelaAccount\"><id>acct-1</id></GetInfoResponse>") {
    return Envelope(
        "<session id=\"S1\">S1</session><change token=\"42\"/><refresh><version>" + version +
            "</version></refresh>",
        "<BatchResponse xmlns=\"urn:tovela\"><AuthResponse xmlns=\"urn:tovelaAccount\">"
        "<authToken>TOK</authToken><lifetime>1</lifetime><session id=\"S1\">S1</session>" +
            extra + "<prefs>" + prefs +
            "</prefs>"
            "<attrs><attr name=\"tovelaFeatureBriefcasesEnabled\">TRUE</attr></attrs>"
            "</AuthResponse>"
            "<GetSignaturesResponse xmlns=\"urn:tovelaAccount\">"
            "<signature id=\"sig1\" name=\"work\"><content "
            "type=\"TEXT/HTML\">&lt;b&gt;Regards&lt;/b&gt;</content></signature>"
            "</GetSignaturesResponse>" +
            info + "</BatchResponse>");
}

class ProcessResponseTest : public ::testing::Test {
protected:
    ProcessResponseTest() {
        session.sAuthToken = "OLD";
        session.sSessionId = "S0";
        session.sNotifySeq = "7";
        session.sHost = "mail.example.com";
        session.bOptionsProbed = true;
    }
    bool Process(const std::string& text) {
        ResponseState state{session,       account,        PollInterval,
                            RetryInterval, bFoldersLoaded, dLastResponse};
        ResponseServices services{*xml, clock, zone, log, effects};
        return ProcessResponse(text, state, services);
    }

    std::unique_ptr<XmlFactory> xml = testing::MakeXmlFactory();
    testing::FakeClock clock;
    testing::FakeTimeZone zone;
    testing::RecordingDebugLog log;
    RecordingEffects effects;
    SessionContext session;
    AccountPreferences account;
    std::int32_t PollInterval = 60;
    std::int32_t RetryInterval = 10;
    bool bFoldersLoaded = false;
    std::optional<std::int64_t> dLastResponse;
};

TEST_F(ProcessResponseTest, TextThatIsNoXmlReportsTheParserAndChangesNothing) {
    EXPECT_FALSE(Process("<html><body>Bad gateway</body>"));
    EXPECT_EQ(session.sLastError.rfind("Tovelaサーバーよりエラー報告:\r\n", 0), 0u)
        << session.sLastError;
    EXPECT_GT(session.sLastError.size(),
              std::string("Tovelaサーバーよりエラー報告:\r\n\r\n").size());
    EXPECT_EQ(session.sAuthToken, "OLD");
    EXPECT_EQ(PollInterval, 60);
    EXPECT_EQ(log.lines.at(0),
              "*PS: (2026/12/06 07:51:15):" + Base64Encode("<html><body>Bad gateway</body>"));
}

struct FaultCase {
    const char* name;
    const char* text;
    bool result;
    bool sessionForgotten;
    std::int32_t pollBefore;
    std::int32_t pollAfter;
    const char* lastError;
};

class FaultTest : public ProcessResponseTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, StateAfterFault) {
    const FaultCase& c = GetParam();
    PollInterval = c.pollBefore;
    EXPECT_EQ(Process(Fault(c.text)), c.result);
    EXPECT_EQ(session.sAuthToken.empty(), c.sessionForgotten);
    EXPECT_EQ(session.sSessionId.empty(), c.sessionForgotten);
    EXPECT_EQ(session.sNotifySeq.empty(), c.sessionForgotten);
    EXPECT_EQ(PollInterval, c.pollAfter);
    EXPECT_EQ(session.sLastError, c.lastError);
    EXPECT_FALSE(effects.Called("Notify"));
}

const FaultCase kFaults[] = {
    {"Expired", "auth credentials have expired", true, true, 60, 3, ""},
    {"NoTokenKeepsSession", "no valid authtoken present", true, false, 60, 60, ""},
    {"NoTokenWithoutInterval", "no valid authtoken present", true, false, 0, 3, ""},
    {"ExpiredWithFullStopIsAnyOther", "auth credentials have expired.", false, true, 60, 3,
     "auth credentials have expired."},
    {"Other", "service exception: boom", false, true, 60, 3, "service exception: boom"},
    {"TooLarge", "upload exceeded allowed size", false, false, 60, 60,
     "upload exceeded allowed size"},
    {"NameTaken", "object with that name already exists: a.txt", false, false, 60, 60,
     "object with that name already exists: a.txt"},
};
INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ProcessResponseTest, IconGoesQuietOnlyAfterMoreThanFifteenMinuteBoundaries) {
    EXPECT_FALSE(Process(Fault("boom")));  // never answered before: reset
    EXPECT_EQ(std::count(effects.calls.begin(), effects.calls.end(), "ResetMainIcon"), 1);

    dLastResponse = (clock.utcMs / 1000) - 15 * 60;  // exactly 15 boundaries ago (bias 0)
    Process(Fault("boom"));
    EXPECT_EQ(std::count(effects.calls.begin(), effects.calls.end(), "ResetMainIcon"), 1);
    dLastResponse = *dLastResponse - 60;
    Process(Fault("boom"));
    EXPECT_EQ(std::count(effects.calls.begin(), effects.calls.end(), "ResetMainIcon"), 2);
}

TEST_F(ProcessResponseTest, LoginAnswerTakesTokenSessionAndPreferences) {
    account.sReplyToAddress = "stale@example.com";
    const std::string prefs =
        Pref("tovelaPrefMailPollingInterval", "5m") + Pref("tovelaPrefComposeFormat", "html") +
        Pref("tovelaPrefFromAddress", "me@example.com") + Pref("tovelaPrefFromDisplay", "私") +
        Pref("tovelaPrefCalendarApptReminderWarningTime", "14.5") +
        Pref("tovelaPrefDefaultSignatureId", "sig1");
    EXPECT_TRUE(Process(Login("8.8.15_GA", prefs)));
    EXPECT_EQ(session.sAuthToken, "TOK");
    EXPECT_EQ(session.sSessionId, "S1");
    EXPECT_EQ(session.sChangeToken, "42");
    EXPECT_EQ(session.sNotifySeq, "");
    EXPECT_EQ(session.sServerVersion, "8.8.15_GA");
    EXPECT_EQ(session.sSessionTag, "session");
    EXPECT_EQ(PollInterval, 300);
    EXPECT_EQ(account.sComposeFormat, "html");
    EXPECT_EQ(account.sFromAddress, "me@example.com");
    EXPECT_EQ(account.sFromDisplay, "私");
    EXPECT_EQ(account.sReplyToAddress, "");   // no reply-to preference empties it
    EXPECT_EQ(account.nReminderMinutes, 14);  // to even, as the classic rounding
    EXPECT_EQ(account.sSignature, "<b>Regards</b>");
    EXPECT_TRUE(account.bSignatureHtml);
    EXPECT_EQ(account.sAccountId, "acct-1");
    EXPECT_TRUE(account.bBriefcaseEnabled);
    EXPECT_FALSE(effects.Called("DeleteBriefcase"));
    EXPECT_EQ(effects.calls, (std::vector<std::string>{"Poll 300", "Refresh", "Notify",
                                                       "Appointments", "Summary"}));
    EXPECT_EQ(dLastResponse, clock.utcMs / 1000);
}

TEST_F(ProcessResponseTest, ReplyToOnlyWhenEnabledAndSignatureOnlyFromSeven) {
    account.sSignature = "kept";
    const std::string prefs = Pref("tovelaPrefReplyToEnabled", "True") +
                              Pref("tovelaPrefReplyToAddress", "reply@example.com") +
                              Pref("tovelaPrefDefaultSignatureId", "sig1");
    EXPECT_TRUE(Process(Login("5.0.9", prefs)));
    EXPECT_EQ(account.sReplyToAddress, "reply@example.com");
    EXPECT_EQ(account.sSignature, "kept");
    EXPECT_EQ(session.sSessionTag, "sessionId");
}

struct PollCase {
    const char* name;
    const char* value;  // nullptr: preference missing
    std::int32_t seconds;
};

class PollIntervalTest : public ProcessResponseTest,
                         public ::testing::WithParamInterface<PollCase> {};

TEST_P(PollIntervalTest, ServerPreferenceBecomesSeconds) {
    const PollCase& c = GetParam();
    PollInterval = 3;  // as a fault or a new session leaves it
    Process(Login("8.0", c.value ? Pref("tovelaPrefMailPollingInterval", c.value) : ""));
    EXPECT_EQ(PollInterval, c.seconds);
    EXPECT_TRUE(effects.Called("Poll " + std::to_string(c.seconds)));
}

INSTANTIATE_TEST_SUITE_P(
    Preferences, PollIntervalTest,
    ::testing::Values(PollCase{"SecondsSuffix", "300s", 300}, PollCase{"Plain", "300", 300},
                      PollCase{"HalfSecond", "500ms", 15}, PollCase{"Zero", "0", 300},
                      PollCase{"Missing", nullptr, 300}, PollCase{"TooLong", "1000", 14400},
                      PollCase{"Short", "15", 15}, PollCase{"Negative", "-5", 300},
                      PollCase{"Garbage", "often", 300}),
    [](const ::testing::TestParamInfo<PollCase>& row) { return std::string(row.param.name); });

struct LimitCase {
    const char* name;
    const char* attributes;
    double limit;
};

class UploadLimitTest : public ProcessResponseTest,
                        public ::testing::WithParamInterface<LimitCase> {};

TEST_P(UploadLimitTest, LimitFromInfo) {
    account.dUploadSizeLimit = 99;
    Process(Login("8.0", "", "",
                  std::string("<GetInfoResponse xmlns=\"urn:tovelaAccount\" ") +
                      GetParam().attributes + "/>"));
    EXPECT_EQ(account.dUploadSizeLimit, GetParam().limit);
}

const LimitCase kLimits[] = {
    {"AttachmentSmaller", "attSizeLimit=\"10\" docSizeLimit=\"20\"", 10},
    {"DocumentSmaller", "attSizeLimit=\"20\" docSizeLimit=\"10\"", 10},
    {"AttachmentZero", "attSizeLimit=\"0\" docSizeLimit=\"20\"", 20},
    {"AttachmentAlone", "attSizeLimit=\"10\"", 10},
    {"NoAttachmentLimit", "docSizeLimit=\"10\"", 99},
};
INSTANTIATE_TEST_SUITE_P(Limits, UploadLimitTest, ::testing::ValuesIn(kLimits),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ProcessResponseTest, ReferralWithoutSessionMovesToTheOtherHost) {
    const std::string answer =
        Envelope("<change token=\"1\"/>",
                 "<BatchResponse xmlns=\"urn:tovela\"><AuthResponse xmlns=\"urn:tovelaAccount\">"
                 "<authToken>TOK</authToken><refer>other.example.com:8443</refer></AuthResponse></"
                 "BatchResponse>");
    session.sSessionId.clear();
    session.sSessionTag = "session";
    EXPECT_FALSE(Process(answer));
    EXPECT_EQ(session.sHost, "other.example.com:8443");
    EXPECT_EQ(session.sAuthToken, "");
    EXPECT_FALSE(session.bOptionsProbed);
    EXPECT_EQ(RetryInterval, 3);
}

TEST_F(ProcessResponseTest, BriefcaseRightLostRemovesItsShortcut) {
    std::string answer = Login("8.0", "");
    answer.replace(answer.find(">TRUE<"), 6, ">true<");  // the flag is case-sensitive
    Process(answer);
    EXPECT_FALSE(account.bBriefcaseEnabled);
    EXPECT_TRUE(effects.Called("DeleteBriefcase"));
}

TEST_F(ProcessResponseTest, NewSessionAnnouncedByAnOlderServer) {
    session.sSessionTag = "sessionId";
    EXPECT_TRUE(Process(
        Envelope("<sessionId id=\"S9\">S9</sessionId>", "<BatchResponse xmlns=\"urn:tovela\"/>")));
    EXPECT_EQ(session.sAuthToken, "");
    EXPECT_EQ(session.sSessionId, "");
    EXPECT_EQ(PollInterval, 3);
    EXPECT_FALSE(effects.Called("Notify"));
}

TEST_F(ProcessResponseTest, OrdinaryBatchKeepsTheSessionAndSkipsTheRefreshOnceLoaded) {
    session.sSessionTag = "session";
    bFoldersLoaded = true;
    EXPECT_TRUE(
        Process(Envelope("<session id=\"S0\">S0</session><refresh><version>8.0</version></refresh>",
                         "<BatchResponse xmlns=\"urn:tovela\"/>")));
    EXPECT_EQ(session.sAuthToken, "OLD");
    EXPECT_EQ(session.sNotifySeq, "7");
    EXPECT_EQ(effects.calls, (std::vector<std::string>{"Notify", "Appointments", "Summary"}));
}

TEST_F(ProcessResponseTest, DraftIdFromSaveDraftResponse) {
    session.sSessionTag = "session";
    Process(Envelope(
        "", "<SaveDraftResponse xmlns=\"urn:tovelaMail\"><m id=\"257\"/></SaveDraftResponse>"));
    EXPECT_EQ(account.sDraftId, "257");
}

}  // namespace
}  // namespace tovela

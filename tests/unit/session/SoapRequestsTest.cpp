#include <gtest/gtest.h>

#include <vector>

#include "fakes/EnvelopeLines.h"

#include "session/SoapRequests.h"

namespace tovela {
namespace {

using testing::Lines;

const std::string kEnvelopeLine = "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">";

TEST(SoapRequestsTest, LoginBatchByteForByte) {
    const std::string expected = Lines({
        kEnvelopeLine,
        "<Header>",
        "  <context xmlns=\"urn:tovela\">",
        "    <session/>",
        "    <sessionId/>",
        "    <authToken></authToken>",
        "  </context>",
        "</Header>",
        "  <Body>",
        "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">",
        "    <AuthRequest xmlns=\"urn:tovelaAccount\">",
        "      <account by=\"name\">a&amp;b&lt;c&gt;</account>",
        "      <password>p&amp;w&lt;&gt;&quot;&apos;日本</password>",
        "      <prefs>",
        "        <pref name=\"tovelaPrefMailPollingInterval\" />",
        "        <pref name=\"tovelaPrefCalendarApptReminderWarningTime\" />",
        "        <pref name=\"tovelaPrefComposeFormat\" />",
        "        <pref name=\"tovelaPrefDefaultSignatureId\" />",
        "        <pref name=\"tovelaPrefFromAddress\" />",
        "        <pref name=\"tovelaPrefFromDisplay\" />",
        "        <pref name=\"tovelaPrefReplyToAddress\" />",
        "        <pref name=\"tovelaPrefReplyToDisplay\" />",
        "        <pref name=\"tovelaPrefReplyToEnabled\" />",
        "      </prefs>",
        "      <attrs>",
        "        <attr name=\"tovelaFeatureBriefcasesEnabled\" />",
        "      </attrs>",
        "    </AuthRequest>",
        "    <GetSignaturesRequest xmlns=\"urn:tovelaAccount\" />",
        "    <GetInfoRequest xmlns=\"urn:tovelaAccount\" sections=\"props\" />",
        "  </BatchRequest>",
        "  </Body>",
        "</Envelope>",
    });
    // Both values are escaped: a name with "&" or "<" must not make the request malformed.
    EXPECT_EQ(BuildLoginBatch("a&b<c>", "p&w<>\"'日本"), expected);
}

struct SessionCase {
    const char* name;
    const char* version;
    const char* seq;
    std::vector<std::string> sessionAndBody;  // header line 5 and the body's request lines
};

class SessionBatchTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionBatchTest, ByteForByte) {
    const SessionCase& c = GetParam();
    SessionContext ctx;
    ctx.sAuthToken = "TOKEN";
    ctx.sSessionId = "77";
    ctx.sChangeToken = "";
    ctx.sServerVersion = c.version;
    ctx.sNotifySeq = c.seq;
    // Tokyo: the epoch happened at 09:00 on the local clock.
    ctx.dEpochLocal = 9 * 3600;
    const std::int64_t localNow = 1609459200 + 9 * 3600;  // 2021-01-01 00:00 UTC

    std::vector<std::string> lines = {kEnvelopeLine,
                                      "<Header>",
                                      "  <context xmlns=\"urn:tovela\">",
                                      "    <authToken>TOKEN</authToken>",
                                      c.sessionAndBody[0],
                                      "    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>",
                                      "    <change token=\"\"/>",
                                      "  </context>",
                                      "</Header>",
                                      "<Body>",
                                      "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">"};
    lines.insert(lines.end(), c.sessionAndBody.begin() + 1, c.sessionAndBody.end());
    lines.insert(lines.end(), {"  </BatchRequest>", "</Body>", "</Envelope>"});

    EXPECT_EQ(BuildSessionBatch(ctx, localNow), Lines(lines));
    EXPECT_EQ(ctx.sSessionTag,
              std::string(c.sessionAndBody[0]).find("<session ") != std::string::npos
                  ? "session"
                  : "sessionId");
}

const std::string kSearch6 =
    "    <SearchRequest xmlns=\"urn:tovelaMail\" types=\"appointment\" sortBy=\"dateAsc\" "
    "calExpandInstStart=\"1609459200000\" calExpandInstEnd=\"1610064000000\" >";
const std::string kQuery6 = "  <query>appt-start: &lt;+7day AND (is:local OR is:remote)</query>";
const std::string kSummaries5 =
    "    <GetApptSummariesRequest xmlns=\"urn:tovelaMail\" s=\"1609459200000\" "
    "e=\"1610064000000\" id=\"0\"/>";

INSTANTIATE_TEST_SUITE_P(
    Versions, SessionBatchTest,
    ::testing::Values(
        SessionCase{
            "Version6NoSeq",
            "6.0.10_GA",
            "",
            {"    <session id=\"77\">77</session>", kSearch6, kQuery6, "  </SearchRequest>"}},
        SessionCase{"Version8WithSeq",
                    "8.8.15",
                    "12",
                    {"    <session seq=\"12\" id=\"77\">77</session>", kSearch6, kQuery6,
                     "  </SearchRequest>"}},
        SessionCase{"Version5WithSeq",
                    "5.0.9",
                    "3",
                    {"    <sessionId seq=\"3\" id=\"77\">77</sessionId>", kSummaries5}},
        SessionCase{
            "NoVersionYet", "", "", {"    <sessionId id=\"77\">77</sessionId>", kSummaries5}}),
    [](const ::testing::TestParamInfo<SessionCase>& row) { return std::string(row.param.name); });

TEST(SoapRequestsTest, TimeWindowIsUtcWhateverTheZone) {
    // With the bias right, the window starts at the UTC moment in every zone.
    for (int bias : {-540, 0, 300, 240, -330}) {
        SCOPED_TRACE(bias);
        SessionContext ctx;
        ctx.sServerVersion = "8.0";
        ctx.dEpochLocal = -bias * 60;
        const std::string batch = BuildSessionBatch(ctx, 1609459200 - bias * 60);
        EXPECT_NE(
            batch.find("calExpandInstStart=\"1609459200000\" calExpandInstEnd=\"1610064000000\""),
            std::string::npos);
    }
}

TEST(SoapRequestsTest, ServerValuesInTheHeaderAreEscaped) {
    // A token or id holding markup must not break every later request.
    SessionContext ctx;
    ctx.sAuthToken = "0_a&b<c";
    ctx.sSessionId = "4\"2";
    ctx.sSessionTag = "session";
    ctx.sNotifySeq = "<5>";
    ctx.sChangeToken = "7'&";
    EXPECT_EQ(SessionContextHeader(ctx),
              Lines({"<Header>", "  <context xmlns=\"urn:tovela\">",
                     "    <authToken>0_a&amp;b&lt;c</authToken>",
                     "    <session seq=\"&lt;5&gt;\" id=\"4&quot;2\">4&quot;2</session>",
                     "    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>",
                     "    <change token=\"7&apos;&amp;\"/>", "  </context>", "</Header>"}) +
                  "\r\n");
}

TEST(SoapRequestsTest, CancelAppointmentByteForByte) {
    SessionContext ctx;
    ctx.sAuthToken = "0_tok";
    ctx.sSessionId = "42";
    ctx.sSessionTag = "session";
    ctx.sChangeToken = "7";  // not sent with a cancellation
    for (const bool seq : {false, true}) {
        for (const char* occurrence : {"", "20240305T093000"}) {
            SCOPED_TRACE(std::string(seq ? "seq " : "no seq ") + occurrence);
            ctx.sNotifySeq = seq ? "5" : "";
            std::vector<std::string> lines = {
                kEnvelopeLine,
                "<Header>",
                "  <context xmlns=\"urn:tovela\">",
                "    <authToken>0_tok</authToken>",
                seq ? "    <session seq=\"5\" id=\"42\">42</session>"
                    : "    <session id=\"42\">42</session>",
                "    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>",
                "  </context>",
                "</Header>",
                "<Body>",
                "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">",
                "   <CancelAppointmentRequest xmlns=\"urn:tovelaMail\" id=\"400-400\" comp=\"0\">",
            };
            if (*occurrence) lines.push_back("    <inst d=\"20240305T093000\"/>");
            for (const char* line : {"   </CancelAppointmentRequest>", "  </BatchRequest>",
                                     "</Body>", "</Envelope>"}) {
                lines.push_back(line);
            }
            EXPECT_EQ(BuildCancelAppointmentRequest(ctx, "400-400", occurrence), Lines(lines));
        }
    }
}

}  // namespace
}  // namespace tovela

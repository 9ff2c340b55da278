#include <gtest/gtest.h>

#include <vector>

#include "session/SoapRequests.h"

namespace tovela {
namespace {

// Joins lines as the envelopes are sent: CR LF after each but the last.
std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size()) text += "\r\n";
    }
    return text;
}

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
        "      <account by=\"name\">a&b<c></account>",
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
    // The password is escaped, the user name goes as typed.
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

}  // namespace
}  // namespace tovela

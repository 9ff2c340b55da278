#include <gtest/gtest.h>

#include <thread>

#include "integration/FakeServer.h"

namespace tovela::testing {
namespace {

using nlohmann::json;

using namespace soap;

// The program's own runs log in and poll against the server; what they never look at is
// checked here.
TEST(FakeServerTest, LoginAnswersTheScenarioAccount) {
    FakeServer server(
        json{{"account", {{"password", "p&<\"'x"}, {"id", "acct-7"}}},
             {"prefs",
              {{"tovelaPrefMailPollingInterval", "5m"},
               {"tovelaPrefComposeFormat", "html"},
               {"tovelaPrefNotAsked", "x"}}},
             {"signatures",
              {{{"id", "s1"}, {"name", "Work"}, {"type", "text/html"}, {"content", "<b>Hi</b>"}}}},
             {"limits", {{"attSizeLimit", 10}, {"docSizeLimit", "20"}}}});
    ASSERT_TRUE(server.Started()) << server.Output();

    const std::string body =
        Contents(server.Post(kSoap, LoginEnvelope("Demo", "p&amp;&lt;&quot;&apos;x")));
    for (const std::string expected :
         {"200 <soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">",
          "<pref name=\"tovelaPrefComposeFormat\">html</pref>",
          "<pref name=\"tovelaPrefMailPollingInterval\">5m</pref>",
          "<attr name=\"tovelaFeatureBriefcasesEnabled\">TRUE</attr>",
          "<signature id=\"s1\" name=\"Work\"><content type=\"text/html\">"
          "&lt;b&gt;Hi&lt;/b&gt;</content></signature>",
          "<GetInfoResponse xmlns=\"urn:tovelaAccount\" attSizeLimit=\"10\" "
          "docSizeLimit=\"20\"><id>acct-7</id>"}) {
        EXPECT_NE(body.find(expected), std::string::npos) << expected << "\nin " << body;
    }
    EXPECT_EQ(body.find("tovelaPrefNotAsked"), std::string::npos) << "answered a pref not asked";
}

TEST(FakeServerTest, SessionBatchEchoesTheSessionAndVersion) {
    struct Case {
        std::string version, tag, answer;
    } cases[] = {{"8.8.15_GA", "session", "<SearchResponse xmlns=\"urn:tovelaMail\""},
                 {"5.0.9", "sessionId", "<GetApptSummariesResponse xmlns=\"urn:tovelaMail\"/>"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        FakeServer server(json{{"version", c.version}, {"changeToken", 42}});
        ASSERT_TRUE(server.Started()) << server.Output();
        const auto login = server.Post(kSoap, LoginEnvelope("demo", "demo"));
        ASSERT_TRUE(login);
        const std::string token = Between(login->body, "<authToken>", "<");
        const std::string session = Between(login->body, "<" + c.tag + " id=\"", "\"");
        ASSERT_FALSE(session.empty()) << login->body;

        const auto batch = server.Post(kSoap, SessionEnvelope(token, c.tag == "session"));
        ASSERT_TRUE(batch);
        EXPECT_EQ(batch->status, 200);
        const std::string header = "<context xmlns=\"urn:tovela\"><" + c.tag + " id=\"" + session +
                                   "\">" + session + "</" + c.tag + "><change token=\"42\"/>" +
                                   "<refresh><version>" + c.version + "</version>";
        EXPECT_NE(batch->body.find(header), std::string::npos) << batch->body;
        EXPECT_NE(batch->body.find("<BatchResponse xmlns=\"urn:tovela\">" + c.answer),
                  std::string::npos)
            << batch->body;

        const auto stranger = server.Post(kSoap, SessionEnvelope("0_forged", true));
        EXPECT_NE(Contents(stranger).find("<soap:Text>no valid authtoken present</soap:Text>"),
                  std::string::npos);
    }
}

// Each scripted event hits the next request it fits once; the request after it gets `after`.
TEST(FakeServerTest, ScriptedEventsHitOnceThenTheServerAnswersNormally) {
    const std::string normal = "<BatchResponse xmlns=\"urn:tovela\">";
    struct Case {
        const char* name;
        json script;
        bool login;  // the request is a login; otherwise a session batch
        int status;  // 0: no whole answer arrives
        std::string expected, after;
        std::size_t size = 0;  // of the answer's body, when it matters
    } cases[] = {
        {"authFailed", {{"authFailed", true}}, true, 500, "AUTH_FAILED", normal},
        {"expired",
         {{"sessionFault", "expired"}},
         false,
         500,
         "<soap:Text>auth credentials have expired</soap:Text>",
         "no valid authtoken present"},
        {"invalid",
         {{"sessionFault", "invalid"}},
         false,
         500,
         "<soap:Text>no valid authtoken present</soap:Text>",
         normal},
        {"fault",
         {{"fault", {{"text", "mailbox locked"}, {"code", "mail.LOCKED"}}}},
         false,
         500,
         "<soap:Text>mailbox locked</soap:Text><",
         normal},
        {"htmlPage", {{"htmlPage", "<html>down</html>"}}, true, 200, "<html>down</html>", normal},
        {"nextResponse",
         {{"nextResponse", {{"status", 502}, {"contentType", "text/plain"}, {"body", "gateway"}}}},
         false,
         502,
         "gateway",
         normal},
        {"oversize",
         {{"oversize", 300000}},
         false,
         200,
         "--></soap:Header><soap:Body/></soap:Envelope>",
         normal,
         300000},
        {"cutAfter", {{"cutAfter", 100}}, true, 0, "", normal},
    };
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Login login = LogIn(server);
        ASSERT_FALSE(login.token.empty());
        ASSERT_TRUE(server.Admin("/admin/script", c.script).contains("authFailed"));
        const std::string request =
            c.login ? LoginEnvelope("demo", "demo") : SessionEnvelope(login.token, true);
        const auto hit = server.Post(kSoap, request);
        if (c.status == 0) {
            EXPECT_FALSE(hit) << "the answer came whole: " << hit->body;
        } else {
            ASSERT_TRUE(hit);
            EXPECT_EQ(hit->status, c.status);
            EXPECT_NE(hit->body.find(c.expected), std::string::npos) << hit->body;
            if (c.size) {
                EXPECT_EQ(hit->body.size(), c.size);
            }
        }
        EXPECT_NE(Contents(server.Post(kSoap, request)).find(c.after), std::string::npos);
    }

    // A new session is announced once; the batches after it keep the new id.
    const Login login = LogIn(server);
    server.Admin("/admin/script", {{"newSession", true}});
    const std::string renewed = Contents(server.Post(kSoap, SessionEnvelope(login.token, true)));
    const std::string fresh = Between(renewed, "<session id=\"", "\"");
    EXPECT_NE(fresh, login.session);
    EXPECT_FALSE(fresh.empty()) << renewed;
    EXPECT_NE(Contents(server.Post(kSoap, SessionEnvelope(login.token, true)))
                  .find("<session id=\"" + fresh + "\">"),
              std::string::npos);
}

TEST(FakeServerTest, ScriptedConditionsHoldUntilCleared) {
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    server.Admin("/admin/script", {{"optionsRefusal", 405}, {"refer", "mail2.example.test:8443"}});
    for (int i = 0; i < 2; ++i) {
        const auto probe = server.Options(kSoap);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->status, 405);
        EXPECT_EQ(probe->reason, "Method Not Allowed");
        const std::string referral = Contents(server.Post(kSoap, LoginEnvelope("demo", "demo")));
        EXPECT_NE(referral.find("<refer>mail2.example.test:8443</refer>"), std::string::npos)
            << referral;
        EXPECT_EQ(referral.find("<authToken>"), std::string::npos);
        EXPECT_EQ(referral.find("<session"), std::string::npos) << "a referral opens no session";
    }
    server.Admin("/admin/script", {{"optionsRefusal", nullptr}, {"refer", nullptr}});
    EXPECT_EQ(server.Options(kSoap)->status, 200);
    EXPECT_FALSE(LogIn(server).token.empty());
}

TEST(FakeServerTest, RequestLogRecordsServicePathsButNotAdmin) {
    FakeServer server;
    ASSERT_TRUE(server.Started()) << server.Output();
    server.Post(kSoap, "<Envelope>é</Envelope>", "text/xml", {{"X-Probe", "1"}});
    server.Admin("/admin/state");
    server.Post("/service/upload?fmt=raw", "bytes", "application/octet-stream");

    const json fromAdmin = server.Requests();
    std::vector<json> fromFile;
    std::istringstream lines(ReadText(server.LogFile()));
    for (std::string line; std::getline(lines, line);) fromFile.push_back(json::parse(line));
    for (const json& entries : {fromAdmin, json(fromFile)}) {
        ASSERT_EQ(entries.size(), 2u) << entries.dump(1);
        const json& soap = entries[0];
        EXPECT_EQ(soap["method"], "POST");
        EXPECT_EQ(soap["path"], kSoap);
        EXPECT_EQ(soap["body"], "<Envelope>é</Envelope>");
        EXPECT_EQ(soap["headers"]["X-Probe"], "1");
        EXPECT_EQ(soap["headers"]["Host"], server.HostAndPort());
        EXPECT_FALSE(soap["headers"].contains("REMOTE_ADDR"));
        EXPECT_EQ(soap["status"], 500);  // no token: a fault
        EXPECT_FALSE(soap["time"].get<std::string>().empty());
        EXPECT_EQ(entries[1]["path"], "/service/upload");
        EXPECT_EQ(entries[1]["target"], "/service/upload?fmt=raw");
        EXPECT_EQ(entries[1]["status"], 401);  // the upload service, without a token
    }
}

TEST(FakeServerTest, AdminChangesTakeEffectAndResetRestoresTheStart) {
    FakeServer server(json{{"prefs", {{"tovelaPrefMailPollingInterval", "30s"}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    server.Post(kSoap, "x");

    const json changed =
        server.Admin("/admin/scenario", {{"account", {{"password", "new"}}},
                                         {"version", "7.1.4_GA_2555"},
                                         {"prefs", {{"tovelaPrefMailPollingInterval", "5m"}}}});
    EXPECT_EQ(changed["account"]["user"], "demo") << "a change replaced more than it named";
    EXPECT_TRUE(LogIn(server, "demo").token.empty());
    const std::string login = Contents(server.Post(kSoap, LoginEnvelope("demo", "new")));
    EXPECT_NE(login.find(">5m</pref>"), std::string::npos) << login;
    EXPECT_NE(login.find("<version>7.1.4_GA_2555</version>"), std::string::npos);

    EXPECT_TRUE(server.Admin("/admin/scenario", {{"pref", {{"a", "1"}}}}).contains("error"));
    EXPECT_TRUE(server.Admin("/admin/script", {{"sessionFault", "later"}}).contains("error"));
    EXPECT_EQ(server.Admin("/admin/state")["scenario"]["account"]["password"], "new");

    server.Admin("/admin/reset", json::object());
    EXPECT_EQ(server.Requests(), json::array());
    EXPECT_FALSE(LogIn(server, "demo").token.empty());
    EXPECT_EQ(server.Admin("/admin/state")["sessions"].size(), 1u);
}

TEST(FakeServerTest, EndsCleanlyOnShutdownAndOnSigtermEvenDuringASlowAnswer) {
    FakeServer first;
    ASSERT_TRUE(first.Started()) << first.Output();
    EXPECT_EQ(first.Output().rfind("listening " + first.HostAndPort() + "\n", 0), 0u)
        << first.Output();
    EXPECT_EQ(first.Admin("/admin/shutdown", json::object())["stopping"], true);
    EXPECT_TRUE(WaitUntil([&] { return !first.Running(); }));
    EXPECT_EQ(first.Stop(), std::optional<int>(0));

    FakeServer second;
    ASSERT_TRUE(second.Started()) << second.Output();
    second.Admin("/admin/script", {{"delayMs", 600000}});
    std::thread slow([&] { second.Post(kSoap, LoginEnvelope("demo", "demo")); });
    EXPECT_TRUE(second.WaitForRequests(1));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(second.Stop(), std::optional<int>(0));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    slow.join();
}

}  // namespace
}  // namespace tovela::testing

#include "session/SendSoap.h"

#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "fakes/RecordingDebugLog.h"
#include "integration/FakeServer.h"
#include "platform/posix/CurlHttpRequest.h"
#include "session/SoapRequests.h"

namespace tovela::testing {
namespace {

// SendSoap on the real HTTP client against the fake server.
class SendSoapTest : public ::testing::Test {
protected:
    SendSoapTest() {
        session.sHost = server.HostAndPort();
        http = posix::CreateCurlHttpFactory({std::chrono::seconds(5), std::chrono::seconds(2)});
    }
    std::string Send(const std::string& envelope) {
        SoapTransport transport{*http, clock, zone, system, log};
        SoapAccount account{session, false, "demo", {}};
        return SendSoap(envelope, transport, account);
    }
    std::vector<std::string> Methods() {
        std::vector<std::string> methods;
        for (const auto& entry : server.Requests()) methods.push_back(entry.value("method", ""));
        return methods;
    }
    void Script(const nlohmann::json& script) { server.Admin("/admin/script", script); }

    FakeServer server{
        {{"account", {{"user", "demo"}, {"password", "demo"}}}, {"version", "8.0.0"}}};
    std::unique_ptr<HttpFactory> http;
    FakeClock clock;
    FakeTimeZone zone;
    FakeSystemInfo system;
    RecordingDebugLog log;
    SessionContext session;
    const std::string login = BuildLoginBatch("demo", "demo");
};

TEST_F(SendSoapTest, RefusedProbeSendsNoPostAndIsTriedAgain) {
    ASSERT_TRUE(server.Started()) << server.Output();
    Script({{"optionsRefusal", 405}});
    EXPECT_EQ(Send(login), "");
    EXPECT_EQ(Methods(), std::vector<std::string>{"OPTIONS"});
    EXPECT_NE(session.sLastError.find("http://" + server.HostAndPort() + "/service/soap"),
              std::string::npos);
    EXPECT_NE(session.sLastError.find("Method Not Allowed"), std::string::npos)
        << session.sLastError;

    Script({{"optionsRefusal", nullptr}});
    EXPECT_NE(Send(login).find("<authToken>"), std::string::npos) << session.sLastError;
    EXPECT_EQ(Methods(), (std::vector<std::string>{"OPTIONS", "OPTIONS", "POST"}));
    EXPECT_TRUE(session.bOptionsProbed);
    EXPECT_EQ(session.sLastError, "");
}

TEST_F(SendSoapTest, UnreachableAndSlowServersFailWithAMessage) {
    Script({{"delayMs", 5000}});
    EXPECT_EQ(Send(login), "");
    EXPECT_NE(session.sLastError.find("Error: "), std::string::npos) << session.sLastError;
    Script({{"delayMs", nullptr}});

    server.Stop();
    session.bOptionsProbed = false;
    EXPECT_EQ(Send(login), "");
    EXPECT_NE(session.sLastError.find("へのリクエストで次のエラーが発生しました。"),
              std::string::npos)
        << session.sLastError;
}

}  // namespace
}  // namespace tovela::testing

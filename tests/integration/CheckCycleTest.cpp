#include <gtest/gtest.h>

#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"
#include "session/SoapRequests.h"

namespace tovela::testing {
namespace {

nlohmann::json Scenario(const std::string& pollInterval) {
    return {{"account", {{"user", "demo"}, {"password", "d&mo<1>"}, {"id", "acct-1"}}},
            {"version", "8.8.15_GA"},
            {"prefs", {{"tovelaPrefMailPollingInterval", pollInterval}}},
            {"attrs", {{"tovelaFeatureBriefcasesEnabled", "TRUE"}}}};
}

std::vector<nlohmann::json> Posts(FakeServer& server) {
    std::vector<nlohmann::json> posts;
    for (const auto& entry : server.Requests()) {
        if (entry.value("method", "") == "POST") posts.push_back(entry);
    }
    return posts;
}

// The real program against the fake server: settings in the profile, tracing on.
class CheckCycleTest : public ::testing::Test {
protected:
    void StartWith(const std::string& password) {
        ASSERT_TRUE(server.Started()) << server.Output();
        profile.WriteSettings("TovelaHost=" + server.HostAndPort() +
                              "\nHTTPS=0\nUsername=demo\nPassword=text:" + password + "\n");
        program = std::make_unique<ProgramRun>(std::vector<std::string>{}, profile.env);
        ASSERT_TRUE(program->Started());
    }
    std::optional<int> Shutdown() {
        program->Signal(SIGTERM);
        return program->WaitForExit();
    }

    TestProfile profile{"tovela-cycle"};
    FakeServer server{Scenario("1")};
    std::unique_ptr<ProgramRun> program;
};

TEST_F(CheckCycleTest, ProbesLogsInThenPollsOnTheServersInterval) {
    StartWith("d&mo<1>");
    // OPTIONS, the login, then two session batches a second apart.
    ASSERT_TRUE(WaitUntil([&] { return Posts(server).size() >= 3; }))
        << server.Requests().dump(1) << profile.Trace();

    const auto requests = server.Requests();
    EXPECT_EQ(requests.at(0).value("method", ""), "OPTIONS");
    EXPECT_EQ(requests.at(0).value("path", ""), "/service/soap");

    const auto posts = Posts(server);
    const nlohmann::json& login = posts.at(0);
    EXPECT_EQ(login.value("body", ""), BuildLoginBatch("demo", "d&mo<1>"));
    EXPECT_EQ(login["headers"].value("Host", ""), server.HostAndPort());
    EXPECT_EQ(login["headers"].value("Content-Type", ""), "text/plain;charset=UTF-8");
    for (std::size_t i = 1; i < posts.size(); ++i) {
        const std::string body = posts[i].value("body", "");
        EXPECT_NE(body.find("<authToken>"), std::string::npos);
        EXPECT_EQ(body.find("<password>"), std::string::npos);
        EXPECT_NE(body.find("<SearchRequest"), std::string::npos) << body;
    }

    EXPECT_EQ(Shutdown(), std::optional<int>(0));
    const std::string trace = profile.Trace();
    EXPECT_NE(trace.find("Comprobando\n"), std::string::npos);
    EXPECT_EQ(trace.find("d&mo"), std::string::npos) << "the password reached the trace file";
}

TEST_F(CheckCycleTest, RejectedLoginForgetsThePassword) {
    StartWith("wrong");
    ASSERT_TRUE(WaitUntil([&] { return Posts(server).size() >= 1; })) << profile.Trace();
    EXPECT_EQ(Shutdown(), std::optional<int>(0));
    const std::string ini = ReadText(profile.SettingsFile());
    EXPECT_NE(ini.find("\nPassword=\n"), std::string::npos) << ini;
}

}  // namespace
}  // namespace tovela::testing

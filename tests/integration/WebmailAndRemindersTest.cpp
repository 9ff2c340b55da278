// A user's clicks on the real program's tray, driven through its input channel against the
// fake server: webmail opens logged in, and a reminder can be deleted from the calendar.
#include <gtest/gtest.h>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

using nlohmann::json;

class WebmailAndRemindersTest : public ::testing::Test {
protected:
    void Start(json scenario) {
        scenario["account"] = {{"user", "demo"}, {"password", "demo"}};
        scenario["prefs"] = {{"tovelaPrefMailPollingInterval", "1"}};
        server = std::make_unique<FakeServer>(scenario);
        ASSERT_TRUE(server->Started()) << server->Output();
        profile.WriteSettings("TovelaHost=" + server->HostAndPort() +
                              "\nHTTPS=0\nUsername=demo\nPassword=text:demo\nWebmailLogin=1\n"
                              "AutoRun=0\n");
        program = std::make_unique<ProgramRun>(std::vector<std::string>{}, profile.env, output);
        ASSERT_TRUE(program->Started());
        ASSERT_TRUE(WaitUntil([&] { return !Token().empty(); })) << profile.Trace();
    }
    // The auth token of the session's latest batch.
    std::string Token() {
        const json requests = server->Requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            const std::string body = it->value("body", "");
            const auto at = body.find("<authToken>");
            if (at == std::string::npos || body.find("<AuthRequest") != std::string::npos) continue;
            const auto end = body.find("</authToken>", at);
            return body.substr(at + 11, end - at - 11);
        }
        return {};
    }
    std::size_t Logins() {
        const json requests = server->Requests();
        return std::count_if(requests.begin(), requests.end(), [](const json& r) {
            return r.value("body", "").find("<AuthRequest") != std::string::npos;
        });
    }
    void End() {
        program->Signal(SIGTERM);
        EXPECT_EQ(program->WaitForExit(), std::optional<int>(0));
    }

    TestProfile profile{"tovela-webmail"};
    std::filesystem::path output = profile.root / "desktop.jsonl";
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<ProgramRun> program;
};

TEST_F(WebmailAndRemindersTest, ABalloonClickOpensWebmailLoggedIn) {
    Start({{"version", "8.8.15_GA"}});
    const std::string token = Token();
    program->Input(R"({"do":"balloonClick"})");
    const auto opened = WaitForEvent(output, "shellOpen");
    ASSERT_TRUE(opened) << ReadText(output);
    const std::string host = "http://" + server->HostAndPort();
    EXPECT_EQ(opened->value("file", ""), host + "/service/preauth?isredirect=1&authtoken=" + token +
                                             "&redirectURL=" + host + "/");
    End();
}

// Newer servers give the session to the browser: the program logs in anew at its next check.
TEST_F(WebmailAndRemindersTest, AHandedOverSessionIsFollowedByALogin) {
    Start({{"version", "10.0.0_GA_1"}});
    const std::size_t logins = Logins();
    program->Input(R"({"do":"dblclick"})");
    const auto opened = WaitForEvent(output, "shellOpen");
    ASSERT_TRUE(opened) << ReadText(output);
    EXPECT_EQ(opened->value("file", "").find("/service/preauth?authtoken="),
              ("http://" + server->HostAndPort()).size());
    EXPECT_TRUE(WaitUntil([&] { return Logins() > logins; })) << profile.Trace();
    End();
}

TEST_F(WebmailAndRemindersTest, DeletingAReminderRemovesItOnTheServerAndFromTheTray) {
    Start({{"version", "8.8.15_GA"},
           {"folders",
            {{{"id", 2}, {"name", "Inbox"}, {"parent", 1}, {"view", "message"}},
             {{"id", 10}, {"name", "Calendar"}, {"parent", 1}, {"view", "appointment"}}}},
           {"appointments",
            {{{"id", 400},
              {"name", "設計レビュー"},
              {"folder", 10},
              {"startInMinutes", 5},
              {"durationMs", 1800000},
              {"alarm", {{"rel", {{"m", 15}, {"neg", true}}}}}}}}});
    std::optional<json> reminder;
    ASSERT_TRUE(WaitUntil([&] { return (reminder = Balloon(output, "設計レビュー")).has_value(); }))
        << ReadText(output);
    const long hwnd = reminder->value("hwnd", 0L);

    program->Input(R"({"do":"answer","button":"yes"})");
    program->Input(R"({"do":"menu","item":"mnuCalEliminar"})");
    program->Input(R"({"do":"click","hwnd":)" + std::to_string(hwnd) + "}");
    const auto question = WaitForEvent(output, "messageBox");
    ASSERT_TRUE(question) << ReadText(output);
    EXPECT_EQ(question->value("text", ""), "この予約をTovelaカレンダーから削除しますか？");
    EXPECT_TRUE(WaitUntil(
        [&] { return server->Admin("/admin/state")["scenario"]["appointments"].empty(); }));
    EXPECT_TRUE(WaitUntil([&] {
        for (const json& e : Events(output)) {
            if (e.value("message", "") == "delete" && e.value("hwnd", 0L) == hwnd) return true;
        }
        return false;
    })) << ReadText(output);
    End();
}

}  // namespace
}  // namespace tovela::testing

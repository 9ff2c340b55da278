#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

// The real program against the fake server, watched through its desktop events.
class NewMailTest : public ::testing::Test {
protected:
    void Start(const nlohmann::json& scenario) {
        server = std::make_unique<FakeServer>(scenario);
        ASSERT_TRUE(server->Started()) << server->Output();
        profile.WriteSettings("TovelaHost=" + server->HostAndPort() +
                              "\nHTTPS=0\nUsername=demo\nPassword=text:demo\nSonido=1\n");
        program = std::make_unique<ProgramRun>(std::vector<std::string>{}, profile.env, output);
        ASSERT_TRUE(program->Started());
    }
    nlohmann::json Scenario() {
        return {{"account", {{"user", "demo"}, {"password", "demo"}}},
                {"version", "8.8.15_GA"},
                {"prefs", {{"tovelaPrefMailPollingInterval", "1"}}},
                {"folders",
                 {{{"id", 2}, {"name", "Inbox"}, {"parent", 1}, {"view", "message"}},
                  {{"id", 4}, {"name", "Junk"}, {"parent", 1}, {"view", "message"}},
                  {{"id", 257}, {"name", "Projects"}, {"parent", 2}, {"view", "message"}}}}};
    }

    TestProfile profile{"tovela-newmail"};
    std::filesystem::path output = profile.root / "desktop.jsonl";
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<ProgramRun> program;
};

TEST_F(NewMailTest, DeliveredMailShowsABalloonOnTheMainIcon) {
    Start(Scenario());
    // The main icon comes first, with the program's tip.
    ASSERT_TRUE(WaitUntil([&] { return !Events(output).empty(); })) << profile.Trace();
    const auto first = Events(output).front();
    EXPECT_EQ(first.value("message", ""), "add");
    EXPECT_EQ(first.value("tip", ""), "Tovela Notifier v6.1.0");
    EXPECT_EQ(first.value("icon", ""), "main");
    // Wait until a session runs, then deliver.
    ASSERT_TRUE(WaitUntil([&] {
        auto requests = server->Requests();
        return std::count_if(requests.begin(), requests.end(), [](const auto& r) {
                   return r.value("body", "").find("<SearchRequest") != std::string::npos;
               }) >= 1;
    })) << profile.Trace();

    server->Admin("/admin/mail", {{"folder", 257},
                                  {"from", {{"address", "boss@example.com"}, {"personal", "上司"}}},
                                  {"subject", "至急: 見積もり"},
                                  {"unread", true}});
    server->Admin("/admin/mail", {{"folder", 4},
                                  {"from", {{"address", "spam@example.com"}}},
                                  {"subject", "win"},
                                  {"unread", true}});

    std::optional<nlohmann::json> balloon;
    ASSERT_TRUE(WaitUntil([&] {
        return (balloon = Balloon(output, "未読メールがあります")).has_value();
    })) << ReadText(output)
        << profile.Trace();
    EXPECT_EQ(balloon->value("info", ""),
              "差出人: 上司 <boss@example.com>\r\n件名: 至急: 見積もり");
    EXPECT_EQ(balloon->value("icon", ""), "newMail");
    EXPECT_EQ(balloon->value("infoFlags", 0), 4);
    // Sound is on and no unread.wav lies beside the test build: a beep.
    EXPECT_TRUE(WaitUntil([&] {
        auto events = Events(output);
        return std::any_of(events.begin(), events.end(),
                           [](const auto& e) { return e.value("event", "") == "beep"; });
    }));

    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitForExit(), std::optional<int>(0));
    // Shutdown removed the main icon.
    const auto events = Events(output);
    EXPECT_EQ(events.back().value("message", ""), "delete");
}

TEST_F(NewMailTest, DueAppointmentGetsItsOwnIconUntilDeletedOnTheServer) {
    nlohmann::json scenario = Scenario();
    scenario["folders"].push_back(
        {{"id", 10}, {"name", "Calendar"}, {"parent", 1}, {"view", "appointment"}});
    scenario["appointments"] = {
        {{"id", 400},
         {"name", "設計レビュー"},
         {"folder", 10},
         {"startInMinutes", 10},
         {"durationMs", 1800000},
         {"alarm", {{"rel", {{"m", 15}, {"neg", true}, {"related", "START"}}}}}}};
    Start(scenario);
    std::optional<nlohmann::json> reminder;
    ASSERT_TRUE(WaitUntil([&] { return (reminder = Balloon(output, "設計レビュー")).has_value(); }))
        << ReadText(output) << profile.Trace();
    EXPECT_EQ(reminder->value("message", ""), "add");
    EXPECT_EQ(reminder->value("icon", ""), "calendar");
    EXPECT_EQ(reminder->value("info", "").rfind("いつ: ", 0), 0u) << reminder->dump();

    // Deleted on the server: the next batch's notification takes its icon away.
    const long iconWindow = reminder->value("hwnd", 0L);
    server->Admin("/admin/delete", {{"id", 400}});
    EXPECT_TRUE(WaitUntil([&] {
        for (const auto& e : Events(output)) {
            if (e.value("message", "") == "delete" && e.value("hwnd", 0L) == iconWindow)
                return true;
        }
        return false;
    })) << ReadText(output);

    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitForExit(), std::optional<int>(0));
    // The main icon went at shutdown as well.
    std::set<long> removed;
    for (const auto& e : Events(output)) {
        if (e.value("message", "") == "delete") removed.insert(e.value("hwnd", 0L));
    }
    EXPECT_EQ(removed.size(), 2u);
}

}  // namespace
}  // namespace tovela::testing

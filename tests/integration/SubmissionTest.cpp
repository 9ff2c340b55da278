// Mail and files handed to the real program (by tovela-sendmail, or by a second start as
// the Send To menu does it), carried to the fake server: uploads, then the message, the
// draft or the briefcase documents.
#include <gtest/gtest.h>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"
#include "integration/Sha256.h"

namespace tovela::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class SubmissionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Started()) << server.Output();
        profile.WriteSettings("TovelaHost=" + server.HostAndPort() +
                              "\nHTTPS=0\nUsername=demo\nPassword=text:demo\nAutoRun=0\n");
    }
    void StartProgram() {
        program = std::make_unique<ProgramRun>(std::vector<std::string>{}, profile.env, output);
        ASSERT_TRUE(program->Started());
        ASSERT_TRUE(profile.MailboxOpen()) << profile.Trace();
    }
    void EndProgram() {
        program->Signal(SIGTERM);
        EXPECT_EQ(program->WaitForExit(), std::optional<int>(0));
    }
    std::optional<int> Tool(const std::vector<std::string>& args) {
        ProgramRun tool(TOVELA_SENDMAIL_EXE, args, profile.env, {}, profile.root / "tool.err");
        return tool.WaitForExit();
    }
    std::optional<int> SecondStart(const std::vector<std::string>& args) {
        ProgramRun second(args, profile.env);
        return second.WaitForExit();
    }
    fs::path Write(const std::string& name, const std::string& bytes) {
        const fs::path path = profile.root / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    bool LoggedIn() {
        return WaitUntil([&] {
            const json requests = server.Requests();
            return std::any_of(requests.begin(), requests.end(), [](const json& r) {
                return r.value("body", "").find("<SearchRequest") != std::string::npos;
            });
        });
    }
    std::size_t OutboxItems() {
        const fs::path outbox = profile.root / "config" / "NotificadorTovela" / "Outbox";
        if (!fs::exists(outbox)) return 0;
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(outbox), fs::directory_iterator()));
    }

    FakeServer server{{{"account", {{"user", "demo"}, {"password", "demo"}}},
                       {"version", "8.8.15_GA"},
                       {"prefs", {{"tovelaPrefMailPollingInterval", "1"}}}}};
    TestProfile profile{"tovela-submission"};
    fs::path output = profile.root / "desktop.jsonl";
    std::unique_ptr<ProgramRun> program;
};

TEST_F(SubmissionTest, MessageWithAttachmentsIsSentWhole) {
    std::string everyByte;
    for (int i = 0; i < 256 * 40; ++i) everyByte.push_back(static_cast<char>(i % 256));
    const fs::path first = Write("every byte.bin", everyByte);
    const fs::path second = Write("議事録.txt", "会議の議事録");
    EXPECT_EQ(Tool({"--to", "Ann <ann@example.com>", "--attach", first.string()}),
              std::optional<int>(1))
        << "no program runs yet";

    StartProgram();
    ASSERT_TRUE(LoggedIn()) << profile.Trace();
    EXPECT_EQ(Tool({"--bogus"}), std::optional<int>(2));
    EXPECT_EQ(Tool({"--from", "taro@example.com", "--from-name", "太郎", "--to",
                    "Ann <ann@example.com>", "--subject", "A & B <資料>", "--body", "本文です",
                    "--attach", first.string(), "--attach", second.string()}),
              std::optional<int>(0));
    // The sending program may delete its files at once: the program copied them.
    fs::remove(first);
    fs::remove(second);

    ASSERT_TRUE(WaitUntil([&] { return server.Sent().size() == 1; }))
        << profile.Trace() << ReadText(output);
    const json sent = server.Sent()[0];
    EXPECT_EQ(sent["subject"], "A & B <資料>");
    EXPECT_EQ(sent["from"]["address"], "taro@example.com");
    EXPECT_EQ(sent["from"]["personal"], "太郎");
    EXPECT_EQ(sent["to"][0]["address"], "ann@example.com");
    EXPECT_EQ(sent["body"], "本文です");
    ASSERT_EQ(sent["attachments"].size(), 2u) << sent.dump(1);
    EXPECT_EQ(sent["attachments"][0]["sha256"], Sha256(everyByte));
    EXPECT_EQ(sent["attachments"][1]["sha256"], Sha256("会議の議事録"));
    EXPECT_TRUE(WaitUntil([&] { return OutboxItems() == 0; }));
    EndProgram();
}

TEST_F(SubmissionTest, WithoutRecipientsADraftOpensInWebmail) {
    StartProgram();
    ASSERT_TRUE(LoggedIn()) << profile.Trace();
    EXPECT_EQ(Tool({"--subject", "下書き", "--body", "x"}), std::optional<int>(0));
    ASSERT_TRUE(WaitUntil([&] { return server.Drafts().size() == 1; })) << profile.Trace();
    EXPECT_EQ(server.Drafts()[0]["subject"], "下書き");
    const auto opened = WaitForEvent(output, "shellOpen");
    ASSERT_TRUE(opened) << ReadText(output);
    EXPECT_EQ(opened->value("file", ""), "http://" + server.HostAndPort() + "/");
    EndProgram();
}

// Handed over while logged out: the message waits in the outbox, the settings window comes
// up, and after a restart of the program the message goes once the login works.
TEST_F(SubmissionTest, WaitsWhileLoggedOutAndSurvivesARestart) {
    profile.WriteSettings("TovelaHost=" + server.HostAndPort() +
                          "\nHTTPS=0\nUsername=demo\nAutoRun=0\n");
    StartProgram();
    const fs::path file = Write("a.txt", "waiting");
    EXPECT_EQ(Tool({"--to", "ann@example.com", "--subject", "later", "--attach", file.string()}),
              std::optional<int>(0));
    EXPECT_EQ(OutboxItems(), 1u);
    ASSERT_TRUE(Balloon(output, "Tovela Notifier")) << ReadText(output);
    EndProgram();
    fs::remove(file);
    EXPECT_TRUE(server.Sent().empty());

    profile.WriteSettings("TovelaHost=" + server.HostAndPort() +
                          "\nHTTPS=0\nUsername=demo\nPassword=text:demo\nAutoRun=0\n");
    StartProgram();
    ASSERT_TRUE(WaitUntil([&] { return server.Sent().size() == 1; })) << profile.Trace();
    EXPECT_EQ(server.Sent()[0]["subject"], "later");
    EXPECT_EQ(server.Sent()[0]["attachments"][0]["sha256"], Sha256("waiting"));
    EXPECT_TRUE(WaitUntil([&] { return OutboxItems() == 0; }));
    EndProgram();
}

TEST_F(SubmissionTest, SendToBriefcaseStoresEachFile) {
    StartProgram();
    ASSERT_TRUE(LoggedIn()) << profile.Trace();
    const fs::path a = Write("a b.txt", "one"), b = Write("b.txt", "two"), c = Write("c.txt", "3");
    EXPECT_EQ(SecondStart({"/briefcase", a.string(), b.string(), c.string()}),
              std::optional<int>(0));
    ASSERT_TRUE(WaitUntil([&] { return server.Documents().size() == 3; })) << profile.Trace();
    std::vector<std::string> names;
    for (const json& d : server.Documents()) names.push_back(d.value("name", ""));
    EXPECT_EQ(names, (std::vector<std::string>{"a b.txt", "b.txt", "c.txt"}));
    EndProgram();
}

// A message that arrives while another one is still being uploaded goes right after it.
TEST_F(SubmissionTest, MessagesArrivingTogetherAreAllSent) {
    StartProgram();
    ASSERT_TRUE(LoggedIn()) << profile.Trace();
    const fs::path big = Write("big.bin", std::string(8 << 20, 'b'));
    server.Admin("/admin/script", {{"delayMs", 300}});
    std::vector<std::unique_ptr<ProgramRun>> tools;
    for (const char* subject : {"one", "two", "three"}) {
        tools.push_back(std::make_unique<ProgramRun>(
            TOVELA_SENDMAIL_EXE,
            std::vector<std::string>{"--to", "ann@example.com", "--subject", subject, "--attach",
                                     big.string()},
            profile.env, fs::path{}));
    }
    for (auto& tool : tools)
        EXPECT_EQ(tool->WaitForExit(std::chrono::seconds(60)), std::optional<int>(0));
    server.Admin("/admin/script", {{"delayMs", nullptr}});
    ASSERT_TRUE(WaitUntil([&] { return server.Sent().size() == 3; }, std::chrono::seconds(60)))
        << profile.Trace();
    std::set<std::string> subjects;
    for (const json& m : server.Sent()) subjects.insert(m.value("subject", ""));
    EXPECT_EQ(subjects, (std::set<std::string>{"one", "two", "three"}));
    EndProgram();
}

}  // namespace
}  // namespace tovela::testing

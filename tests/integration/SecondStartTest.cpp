#include <gtest/gtest.h>

#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;

// Two real processes of the program with their own profile: the second start hands its
// command line to the first and ends, the first traces what arrived.
class SecondStartTest : public ::testing::Test {
protected:
    TestProfile profile{"tovela-it"};
    const std::map<std::string, std::string>& env = profile.env;
};

TEST_F(SecondStartTest, RequestsReachTheRunningInstanceAndTheSecondStartEnds) {
    ProgramRun first({}, env);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(profile.MailboxOpen()) << "the first instance never opened its mailbox\n"
                                       << profile.Trace();

    struct Start {
        std::vector<std::string> args;
        std::string traced;
    } starts[] = {
        {{"mailto:a@b?subject=Hi"}, "OnAbreTovela: a@b&subject=Hi"},
        {{"/settings"}, "OnSettingsShowRequest"},
        {{"C:\\Docs\\a b.txt"}, "OnUploadFile: \"C:\\Docs\\a b.txt\""},
        {{}, "OnAbreTovela: "},
    };
    for (const auto& start : starts) {
        SCOPED_TRACE(start.traced);
        ProgramRun second(start.args, env);
        ASSERT_TRUE(second.Started());
        EXPECT_EQ(second.WaitForExit(), std::optional<int>(0)) << "the second start did not end";
        EXPECT_TRUE(profile.TraceHas(start.traced)) << profile.Trace();
    }
    EXPECT_TRUE(profile.TraceHas("AppPrev"));

    first.Signal(SIGTERM);
    EXPECT_EQ(first.WaitForExit(), std::optional<int>(0));
    const std::string trace = profile.Trace();
    EXPECT_NE(trace.find("SaveTNSettings.Exit\n\\\\\\\\\\ End: "), std::string::npos) << trace;
    // The start-up save created every key with its default.
    const std::string ini = ReadText(profile.SettingsFile());
    EXPECT_NE(ini.find("HTTPS=1\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Filtros=迷惑メール\n"), std::string::npos) << ini;
}

TEST_F(SecondStartTest, SecondStartEndsWhenTheMailboxIsGone) {
    // A first instance that holds the lock but whose mailbox vanished: the second start
    // finds no window and still ends at once.
    ProgramRun first({}, env);
    ASSERT_TRUE(profile.MailboxOpen());
    fs::remove(profile.root / "run" / "NotificadorTovela" / "mailbox.sock");
    ProgramRun second({"mailto:x@y"}, env);
    EXPECT_EQ(second.WaitForExit(), std::optional<int>(0));
    first.Signal(SIGINT);
    EXPECT_EQ(first.WaitForExit(), std::optional<int>(0));
    EXPECT_EQ(profile.Trace().find("OnAbreTovela"), std::string::npos);
}

}  // namespace
}  // namespace tovela::testing

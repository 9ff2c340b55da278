// The real program against a fake server that misbehaves, one way per row. Whatever the
// server does, the program stays up, shows nothing for the checks its timer runs, never
// logs in without a password, and once the server is well again its next check is a good
// one and new mail is shown again.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

using nlohmann::json;

// Every wait of the program at a fortieth: the retry after a failed check takes 250 ms
// instead of 10 s, the server's poll interval of 20 s half a second, and a request gives
// up after 3 s instead of 2 minutes.
constexpr const char* kTimeScale = "0.025";

json Scenario() {
    return {{"account", {{"user", "demo"}, {"password", "demo"}}},
            {"version", "8.8.15_GA"},
            {"prefs", {{"tovelaPrefMailPollingInterval", "20"}}}};
}

// One POST to the SOAP endpoint as a server recorded it.
struct Post {
    std::size_t server;  // which of the rig's servers
    json entry;

    std::string Body() const { return entry.value("body", ""); }
    int Status() const { return entry.value("status", 0); }
    bool IsLogin() const { return Body().find("<AuthRequest") != std::string::npos; }
    bool IsGoodBatch() const {
        return Status() == 200 && Body().find("<SearchRequest") != std::string::npos;
    }
};

// The posts recorded by each server up to some moment.
using Mark = std::vector<std::size_t>;

// The program, its profile, and the servers it talks to: the one in its settings, and
// another one that referrals point at.
class Rig {
public:
    FakeServer& Server(std::size_t which = 0) {
        while (servers.size() <= which) servers.push_back(nullptr);
        if (!servers[which]) servers[which] = std::make_unique<FakeServer>(Scenario());
        return *servers[which];
    }
    // The server in the settings, started anew on `port`.
    void BringUpServer(int port) { servers.at(0) = std::make_unique<FakeServer>(Scenario(), port); }
    json Script(std::size_t which, const json& patch) {
        return Server(which).Admin("/admin/script", patch);
    }

    void StartProgram(const std::string& hostAndPort) {
        profile.WriteSettings("TovelaHost=" + hostAndPort +
                              "\nHTTPS=0\nUsername=demo\nPassword=text:demo\nSonido=0\n");
        std::map<std::string, std::string> env = profile.env;
        env["TOVELA_TEST_TIME_SCALE"] = kTimeScale;
        program = std::make_unique<ProgramRun>(std::vector<std::string>{}, env, output);
    }

    // Every POST so far, server by server, oldest first within each.
    std::vector<Post> Posts() const {
        std::vector<Post> posts;
        for (std::size_t i = 0; i < servers.size(); ++i) {
            if (!servers[i]) continue;
            std::istringstream lines(ReadText(servers[i]->LogFile()));
            std::string line;
            while (std::getline(lines, line)) {
                json entry = json::parse(line, nullptr, false);
                if (!entry.is_discarded() && entry.value("method", "") == "POST")
                    posts.push_back({i, std::move(entry)});
            }
        }
        return posts;
    }
    Mark Now() const {
        Mark mark(servers.size(), 0);
        for (const Post& post : Posts()) ++mark[post.server];
        return mark;
    }
    // The posts after `mark`, in the order the program sent them.
    std::vector<Post> Since(const Mark& mark) const {
        std::vector<Post> later;
        std::vector<std::size_t> seen(servers.size(), 0);
        for (Post& post : Posts()) {
            if (++seen[post.server] > (post.server < mark.size() ? mark[post.server] : 0))
                later.push_back(std::move(post));
        }
        std::stable_sort(later.begin(), later.end(), [](const Post& a, const Post& b) {
            return a.entry.value("time", "") < b.entry.value("time", "");
        });
        return later;
    }
    std::size_t Count(const Mark& mark, const std::function<bool(const Post&)>& match) const {
        const auto later = Since(mark);
        return static_cast<std::size_t>(std::count_if(later.begin(), later.end(), match));
    }
    // Checks the program began, as its trace tells; with `sinceLastSend`, only those after
    // it last tried to send an envelope.
    std::size_t Checks(bool sinceLastSend = false) const {
        const std::string trace = profile.Trace();
        const std::size_t sent = sinceLastSend ? trace.rfind("*ECS: (") : std::string::npos;
        std::size_t n = 0;
        for (std::size_t at = trace.find("Comprobando\n", sent == std::string::npos ? 0 : sent);
             at != std::string::npos; at = trace.find("Comprobando\n", at + 1))
            ++n;
        return n;
    }
    // Envelopes the program sent whose answer never reached its response processing (a
    // failed transfer, or an answer the transport refused), as the trace tells: "*ECS"
    // starts an exchange, "*PS" takes an answer in, "Comprobando" starts the next check.
    std::size_t AnswersNotTakenIn() const {
        std::istringstream lines(profile.Trace());
        std::string line;
        std::size_t lost = 0;
        bool waiting = false;
        while (std::getline(lines, line)) {
            const bool sent = line.rfind("*ECS: (", 0) == 0;
            if (sent || line == "Comprobando") lost += std::exchange(waiting, false);
            if (sent) waiting = true;
            if (line.rfind("*PS: (", 0) == 0) waiting = false;
        }
        return lost;
    }
    bool ScriptUsedUp(std::size_t which, const char* behaviour) {
        const json state = Server(which).Admin("/admin/state");
        if (!state.is_object()) return false;
        const json& value = state["script"][behaviour];
        return value.is_null() || value == false;
    }

    TestProfile profile{"tovela-faults"};
    std::filesystem::path output = profile.root / "desktop.jsonl";
    std::vector<std::unique_ptr<FakeServer>> servers;
    std::unique_ptr<ProgramRun> program;
    // The posts each server had recorded once the fault was set up.
    Mark afterBreak;
};

// The peak resident memory of a process (VmHWM).
std::size_t PeakMemoryKiB(pid_t pid) {
    std::istringstream status(ReadText("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6));
    }
    return 0;
}

bool Any(const std::vector<Post>& posts, const std::function<bool(const Post&)>& match) {
    return std::any_of(posts.begin(), posts.end(), match);
}

struct FaultCase {
    const char* name;
    // Makes the server misbehave, once the program has a session (or, for a server that is
    // down at the start, instead of starting it).
    std::function<void(Rig&)> breakServer;
    // The misbehaviour has been met: the program has had the faulty answer. `broken` is the
    // mark taken before the fault was set up (a one-shot fault may be used up at once).
    std::function<bool(Rig&, const Mark& broken)> faultMet;
    // The server (or the user, where the program needs them) puts things right.
    std::function<void(Rig&)> mend = [](Rig&) {};
    // Whether the fault made the program log in again; unset when either is right.
    std::optional<bool> logsInAgain = std::nullopt;
    // The faulty answer never reaches the response processing.
    bool refusedOnArrival = false;
    bool downAtStart = false;
};

// A POST answered with this status since the fault began.
auto Answered(int status, std::size_t server = 0) {
    return [status, server](Rig& rig, const Mark& broken) {
        return Any(rig.Since(broken),
                   [&](const Post& p) { return p.server == server && p.Status() == status; });
    };
}
// A one-shot behaviour used up, and a POST recorded since.
auto UsedUp(const char* behaviour) {
    return [behaviour](Rig& rig, const Mark& broken) {
        return rig.ScriptUsedUp(0, behaviour) && !rig.Since(broken).empty();
    };
}
auto Scripted(const json& patch) {
    return [patch](Rig& rig) { rig.Script(0, patch); };
}

const std::string kHalfEnvelope =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
    "<context xmlns=\"urn:tovela\"><session id=\"1\">1</session><change token=\"1\"/><refr";

const FaultCase kCases[] = {
    {.name = "ServerDownAtStartComesBack",
     .breakServer = [](Rig&) {},
     // Refused connections, checked again and again.
     .faultMet = [](Rig& rig, const Mark&) { return rig.Checks() >= 3; },
     .mend = [](Rig& rig) { rig.BringUpServer(rig.Server().Port()); },
     .refusedOnArrival = true,
     .downAtStart = true},
    {.name = "Status500WithAFault",
     .breakServer = Scripted(
         {{"fault",
           {{"text", "system failure: database unavailable"}, {"code", "service.FAILURE"}}}}),
     .faultMet = Answered(500),
     // Any fault but an expired or missing token ends the session.
     .logsInAgain = true},
    {.name = "HtmlPageAt200",
     .breakServer = Scripted({{"htmlPage", "<html><body><h1>Maintenance</h1></body></html>"}}),
     .faultMet = UsedUp("htmlPage"),
     .logsInAgain = false,
     .refusedOnArrival = true},
    {.name = "EnvelopeCutOffOnTheWire",
     .breakServer = Scripted({{"cutAfter", 200}}),
     .faultMet = UsedUp("cutAfter"),
     .logsInAgain = false,
     .refusedOnArrival = true},
    {.name = "EnvelopeTruncatedButDelivered",
     .breakServer = Scripted({{"nextResponse",
                               {{"status", 200},
                                {"contentType", "application/soap+xml; charset=utf-8"},
                                {"body", kHalfEnvelope}}}}),
     .faultMet = UsedUp("nextResponse"),
     .logsInAgain = false},
    {.name = "AnswerStallsPastTheTimeLimit",
     // A minute: only a program that gives up after its time limit can be back in time.
     .breakServer = Scripted({{"delayMs", 60000}}),
     .faultMet = [](Rig& rig, const Mark&) { return !rig.Since(rig.afterBreak).empty(); },
     .mend = Scripted({{"delayMs", 0}}),
     .logsInAgain = false,
     .refusedOnArrival = true},
    {.name = "AnswerOver32MiB",
     .breakServer = Scripted({{"oversize", 40 << 20}}),
     .faultMet = UsedUp("oversize"),
     .logsInAgain = false,
     .refusedOnArrival = true},
    {.name = "ReferralToAnotherHost",
     // The session expires and the login that follows is sent to the other server.
     .breakServer =
         [](Rig& rig) {
             rig.Script(0, {{"refer", rig.Server(1).HostAndPort()}, {"sessionFault", "expired"}});
         },
     .faultMet =
         [](Rig& rig, const Mark& broken) {
             return Any(rig.Since(broken), [](const Post& p) { return p.server == 1; });
         },
     .logsInAgain = true},
    {.name = "ReferralLoop",
     .breakServer =
         [](Rig& rig) {
             rig.Script(1, {{"refer", rig.Server(0).HostAndPort()}});
             rig.Script(0, {{"refer", rig.Server(1).HostAndPort()}, {"sessionFault", "expired"}});
         },
     // Sent back and forth twice: the loop goes on, and the program with it.
     .faultMet =
         [](Rig& rig, const Mark& broken) {
             return rig.Count(broken, [](const Post& p) { return p.server == 0 && p.IsLogin(); }) >=
                        2 &&
                    rig.Count(broken, [](const Post& p) { return p.server == 1 && p.IsLogin(); }) >=
                        2;
         },
     .mend =
         [](Rig& rig) {
             rig.Script(0, {{"refer", nullptr}});
             rig.Script(1, {{"refer", nullptr}});
         },
     .logsInAgain = true},
    {.name = "AuthFailedInTheMiddleOfASession",
     .breakServer = Scripted(
         {{"fault",
           {{"text", "authentication failed for demo"}, {"code", "account.AUTH_FAILED"}}}}),
     // The password is gone: the timer goes on checking, but nothing is sent.
     .faultMet =
         [](Rig& rig, const Mark& broken) {
             return Answered(500)(rig, broken) && rig.Checks(true) >= 2;
         },
     // Only the user can mend this: the settings window from the tray, the password again.
     .mend =
         [](Rig& rig) {
             rig.program->Input(R"({"do":"click","button":"left"})");
             EXPECT_TRUE(WaitForEvent(rig.output, "settingsWindow", [](const json& e) {
                             return e.value("visible", false);
                         }).has_value());
             rig.program->Input(R"({"do":"type","control":"txtPassword","text":"demo"})");
             rig.program->Input(R"({"do":"click","control":"cmdAceptar"})");
         },
     .logsInAgain = true,
     .refusedOnArrival = true},
    {.name = "SessionReplacedByTheServer",
     .breakServer = Scripted({{"newSession", true}}),
     .faultMet = UsedUp("newSession")},
    {.name = "ExpiredToken",
     .breakServer = Scripted({{"sessionFault", "expired"}}),
     .faultMet = Answered(500),
     .logsInAgain = true},
};

void PrintTo(const FaultCase& row, std::ostream* out) {
    *out << row.name;
}

class ServerFaultsTest : public ::testing::TestWithParam<FaultCase> {
protected:
    // The last good session batch since `mark`, once there is one.
    std::optional<Post> GoodBatchSince(const Mark& mark) {
        std::optional<Post> good;
        WaitUntil([&] {
            for (Post& post : rig.Since(mark))
                if (post.IsGoodBatch()) good = std::move(post);
            return good.has_value();
        });
        return good;
    }

    Rig rig;
};

TEST_P(ServerFaultsTest, ProgramRidesItOutAndIsBackWithTheServer) {
    const FaultCase& row = GetParam();
    ASSERT_TRUE(rig.Server().Started()) << rig.Server().Output();
    if (row.downAtStart) rig.Server().Stop();
    rig.StartProgram(rig.Server().HostAndPort());
    ASSERT_TRUE(rig.program->Started());
    if (!row.downAtStart) {
        ASSERT_TRUE(GoodBatchSince(Mark{})) << rig.profile.Trace();
    }

    const Mark broken = rig.Now();
    row.breakServer(rig);
    rig.afterBreak = rig.Now();
    ASSERT_TRUE(WaitUntil([&] { return row.faultMet(rig, broken); })) << rig.profile.Trace();
    EXPECT_TRUE(rig.program->Running());
    // Checks the timer runs tell nobody about their failures.
    for (const json& event : Events(rig.output)) {
        EXPECT_NE(event.value("event", ""), "messageBox") << event;
        EXPECT_FALSE(event.value("event", "") == "settingsWindow" && event.value("visible", false))
            << event;
    }

    row.mend(rig);
    const Mark mended = rig.Now();
    const std::optional<Post> good = GoodBatchSince(mended);
    ASSERT_TRUE(good) << ReadText(rig.output) << rig.profile.Trace();
    // Back at once: nothing failed after the mend, and at most a login and a request that
    // was already on its way came before the good batch.
    std::size_t before = 0;
    for (const Post& post : rig.Since(mended)) {
        EXPECT_EQ(post.Status(), 200) << post.Body();
        if (post.IsGoodBatch()) break;
        ++before;
    }
    EXPECT_LE(before, 2u);
    if (row.refusedOnArrival) {
        EXPECT_GE(rig.AnswersNotTakenIn(), 1u) << rig.profile.Trace();
    }
    if (row.logsInAgain) {
        EXPECT_EQ(rig.Count(broken, [](const Post& p) { return p.IsLogin(); }) > 0,
                  *row.logsInAgain);
    }

    // New mail is shown again.
    rig.Server(good->server)
        .Admin("/admin/mail", {{"folder", 2},
                               {"from", {{"address", "ops@example.test"}}},
                               {"subject", std::string("back: ") + row.name}});
    EXPECT_TRUE(
        WaitForEvent(rig.output, "notifyIcon",
                     [&](const json& e) {
                         return e.value("info", "").find(std::string("back: ") + row.name) !=
                                std::string::npos;
                     })
            .has_value())
        << ReadText(rig.output);

    for (const Post& post : rig.Posts()) {
        if (post.IsLogin()) {
            EXPECT_NE(soap::Between(post.Body(), "<password>", "</password>"), "")
                << "a login without a password";
        }
    }
    ASSERT_TRUE(rig.program->Running());
    // However large an answer was, the program held no more of it than its cap. Under
    // AddressSanitizer freed blocks wait in quarantine and every byte has a shadow, so the
    // bound there only tells a capped answer (about 150 MiB) from an uncapped one.
    EXPECT_LT(PeakMemoryKiB(rig.program->Pid()), (kUnderAddressSanitizer ? 512u : 128u) << 10);
    rig.program->Signal(SIGTERM);
    EXPECT_EQ(rig.program->WaitForExit(), std::optional<int>(0));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ServerFaultsTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tovela::testing

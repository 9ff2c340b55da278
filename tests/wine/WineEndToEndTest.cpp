// TovelaNotifier.exe in a Wine virtual desktop against the fake server, watched from
// outside: the server's request log, the program's trace file, the shell's own trace of the
// notification area, and the windows on the desktop (through a small probe program).
//
// Run by scripts/test-windows.sh with WINEPREFIX (a freshly made prefix in which nothing
// runs), DISPLAY and TOVELA_WINDOWS_BUILD (the Windows build folder) set. The tests run in
// the order written: one program run, from start-up to the end of the session.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"
#include "session/SoapRequests.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kPassword = "d&mo<1>";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// A top-level window on the Wine desktop, as the probe lists it.
struct Window {
    std::string className;
    bool visible = false;
    int width = 0;
    int height = 0;
    std::string title;
};

class WineEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        build_ = Env("TOVELA_WINDOWS_BUILD");
        prefix_ = Env("WINEPREFIX");
        if (build_.empty() || prefix_.empty() || Env("DISPLAY").empty()) return;
        out_ = build_ / "e2e";
        fs::remove_all(out_);
        fs::create_directories(out_);

        server_ = std::make_unique<FakeServer>(nlohmann::json{
            {"account", {{"user", "demo"}, {"password", kPassword}}},
            {"version", "8.8.15_GA"},
            {"prefs", {{"tovelaPrefMailPollingInterval", "2"}}},
            {"folders",
             {{{"id", 2}, {"name", "Inbox"}, {"parent", 1}, {"view", "message"}},
              {{"id", 10}, {"name", "Calendar"}, {"parent", 1}, {"view", "appointment"}}}}});
        if (!server_->Started()) return;

        // The desktop every process of the prefix shows on, a Japanese font linked to the
        // dialog fonts, and the program's settings, as the settings window would save them.
        const std::string reg = out_ / "setup.reg";
        std::ofstream(reg) << "REGEDIT4\n\n"
                           << "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"
                           << "\"Desktop\"=\"tovela\"\n\n"
                           << "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"
                           << "\"tovela\"=\"800x600\"\n\n"
                           << "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\"
                              "CurrentVersion\\FontLink\\SystemLink]\n"
                           << "\"Tahoma\"=" << MultiString("ipag.ttf,IPAGothic") << "\n"
                           << "\"MS Shell Dlg\"=" << MultiString("ipag.ttf,IPAGothic") << "\n\n"
                           << "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\"
                              "NotificadorTovela\\Settings]\n"
                           << "\"TovelaHost\"=\"" << server_->HostAndPort() << "\"\n"
                           << "\"HTTPS\"=\"0\"\n"
                           << "\"Username\"=\"demo\"\n"
                           << "\"Password\"=\"text:" << kPassword << "\"\n"
                           << "\"Sonido\"=\"1\"\n";
        if (Wine({"regedit", "/S", "Z:" + reg}) != 0) return;
        // Every process ends, so the desktop starts anew with the font links in place.
        if (ProgramRun("wineserver", {"-w"}, {}, {}).WaitForExit(60s) != 0) return;

        // Tracing on: an empty debug.log in the profile folder.
        for (const auto& user : fs::directory_iterator(fs::path(prefix_) / "drive_c" / "users")) {
            if (user.path().filename() == "Public") continue;
            const fs::path folder = user.path() / "AppData" / "Roaming" / "NotificadorTovela";
            fs::create_directories(folder);
            trace_ = folder / "debug.log";
            std::ofstream(trace_).close();
        }
        program_ = std::make_unique<ProgramRun>("wine", std::vector<std::string>{Exe()}, WineEnv(),
                                                out_ / "program.out", WineLog());
    }

    static void TearDownTestSuite() {
        if (program_ && !program_->WaitForExit(0ms)) {
            ProgramRun("wineserver", {"-k"}, {}, {}).WaitForExit(30s);
        }
        program_.reset();
        if (server_) {
            std::ofstream(out_ / "requests.json") << server_->Requests().dump(1);
            server_.reset();
        }
        if (!trace_.empty() && fs::exists(trace_))
            fs::copy_file(trace_, out_ / "debug.log", fs::copy_options::overwrite_existing);
    }

    void SetUp() override {
        if (build_.empty() || prefix_.empty()) {
            GTEST_SKIP() << "WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD are not set";
        }
        ASSERT_TRUE(server_ && server_->Started()) << "the fake server did not start";
        ASSERT_TRUE(program_ && program_->Started()) << "the program was not started";
    }

    // REG_MULTI_SZ of one string in REGEDIT4's notation.
    static std::string MultiString(const std::string& text) {
        std::ostringstream hex;
        hex << "hex(7):";
        for (unsigned char c : text) hex << std::hex << static_cast<int>(c) << ",";
        hex << "00,00";
        return hex.str();
    }

    static std::string Exe() { return (build_ / "src" / "TovelaNotifier.exe").string(); }
    static fs::path WineLog() { return out_ / "wine.log"; }
    // The shell's trace of the notification area goes to wine.log, whichever process
    // started the desktop.
    static std::map<std::string, std::string> WineEnv() { return {{"WINEDEBUG", "-all,+systray"}}; }

    // Runs a Wine command to its end; its exit code, or -1 when it did not end in time.
    static int Wine(const std::vector<std::string>& args, const fs::path& output = {},
                    std::chrono::seconds limit = 60s) {
        ProgramRun run("wine", args, WineEnv(), output, WineLog());
        return run.WaitForExit(limit).value_or(-1);
    }

    static std::vector<Window> Windows() {
        const fs::path listing = out_ / "windows.txt";
        fs::remove(listing);
        if (Wine({(build_ / "tests" / "tovela-wine-probe.exe").string(), "windows"}, listing) != 0)
            return {};
        std::vector<Window> windows;
        std::istringstream lines(WithoutCarriageReturns(ReadText(listing)));
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> fields;
            std::istringstream parts(line);
            std::string field;
            while (std::getline(parts, field, '\t')) fields.push_back(field);
            if (fields.size() < 5) continue;
            Window window;
            window.className = fields[1];
            window.visible = fields[2] == "1";
            std::sscanf(fields[4].c_str(), "%*d,%*d,%d,%d", &window.width, &window.height);
            if (fields.size() > 5) window.title = fields[5];
            windows.push_back(window);
        }
        return windows;
    }

    // A balloon is a visible top-level tooltip window of the shell.
    static bool BalloonShowing() {
        const auto windows = Windows();
        return std::any_of(windows.begin(), windows.end(), [](const Window& w) {
            return w.className == "tooltips_class32" && w.visible && w.width > 0 && w.height > 0;
        });
    }

    static bool ProgramWindowExists() {
        const auto windows = Windows();
        return std::any_of(windows.begin(), windows.end(), [](const Window& w) {
            return w.className == "TovelaNotifierForm" && w.title == "Tovela Notifier";
        });
    }

    static std::string Trace() { return WithoutCarriageReturns(ReadText(trace_)); }
    static bool TraceHas(const std::string& line, std::chrono::seconds limit = 30s) {
        return WaitUntil([&] { return Trace().find(line + "\n") != std::string::npos; }, limit);
    }

    static std::vector<nlohmann::json> SessionBatches() {
        std::vector<nlohmann::json> batches;
        for (const auto& entry : server_->Requests()) {
            if (entry.value("body", "").find("<SearchRequest") != std::string::npos)
                batches.push_back(entry);
        }
        return batches;
    }

    // The icons the shell added and hid, as (id, window) from its trace.
    static std::set<std::string> ShellIcons(const std::string& action) {
        const std::regex line("trace:systray:" + action + " id=(0x[0-9a-f]+), hwnd=([0-9A-Fa-f]+)");
        std::set<std::string> icons;
        const std::string log = ReadText(WineLog());
        for (auto it = std::sregex_iterator(log.begin(), log.end(), line);
             it != std::sregex_iterator(); ++it) {
            icons.insert((*it)[1].str() + "/" + (*it)[2].str());
        }
        return icons;
    }
    // Requests of this kind the program made of the shell (0 add, 1 modify, 2 delete).
    static std::size_t ProgramRequests(int message) {
        const std::string log = ReadText(WineLog());
        const std::string needle = "Shell_NotifyIconW dwMessage = " + std::to_string(message) + ",";
        std::size_t count = 0;
        for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
            ++count;
        return count;
    }

    static inline fs::path build_;
    static inline std::string prefix_;
    static inline fs::path out_;
    static inline fs::path trace_;
    static inline std::unique_ptr<FakeServer> server_;
    static inline std::unique_ptr<ProgramRun> program_;
};

TEST_F(WineEndToEndTest, ProbesLogsInWithTheExactBatchAndPollsOnTheServersInterval) {
    ASSERT_TRUE(WaitUntil([] { return SessionBatches().size() >= 2; }, 90s))
        << "no two session batches within 90 s\n"
        << server_->Requests().dump(1) << Trace();
    const auto requests = server_->Requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests.at(0).value("method", ""), "OPTIONS");
    EXPECT_EQ(requests.at(1).value("body", ""), BuildLoginBatch("demo", kPassword));
    EXPECT_EQ(requests.at(1)["headers"].value("Host", ""), server_->HostAndPort());
    EXPECT_EQ(requests.at(1)["headers"].value("User-Agent", ""), "TovelaNotifier");
    // The server asked for a batch every 2 seconds; a timer never fires early.
    const auto batches = SessionBatches();
    const auto seconds = [](const nlohmann::json& entry) {
        const std::string time = entry.value("time", "");  // 2024-05-01T10:30:00.123Z
        return std::stod(time.substr(11, 2)) * 3600 + std::stod(time.substr(14, 2)) * 60 +
               std::stod(time.substr(17, 6));
    };
    double gap = seconds(batches.at(1)) - seconds(batches.at(0));
    if (gap < 0) gap += 86400;
    EXPECT_GE(gap, 1.9) << batches.at(0).value("time", "") << " "
                        << batches.at(1).value("time", "");

    EXPECT_TRUE(ProgramWindowExists()) << "the program's form window is missing";
    EXPECT_EQ(Trace().find(kPassword), std::string::npos) << "the password reached the trace";
}

TEST_F(WineEndToEndTest, DeliveredMailShowsABalloonThatGoesAwayByItself) {
    ASSERT_FALSE(BalloonShowing()) << "a balloon shows before any mail arrived";
    server_->Admin("/admin/mail",
                   {{"folder", 2},
                    {"from", {{"address", "boss@example.com"}, {"personal", "上司"}}},
                    {"subject", "至急: 見積もり"},
                    {"unread", true}});
    ASSERT_TRUE(WaitUntil([] { return BalloonShowing(); }, 60s))
        << "no balloon window within 60 s of the delivery\n"
        << Trace();
    // The picture is kept for a person to look at.
    const fs::path shot = out_ / "balloon.png";
    EXPECT_EQ(Wine({(build_ / "tests" / "tovela-wine-probe.exe").string(), "screenshot",
                    "Z:" + shot.string()}),
              0);
    EXPECT_GT(fs::exists(shot) ? fs::file_size(shot) : 0, 100'000u);
    EXPECT_TRUE(WaitUntil([] { return !BalloonShowing(); }, 90s))
        << "the balloon still shows after 90 s";
}

TEST_F(WineEndToEndTest, DueReminderGetsAnIconOfItsOwn) {
    server_->Admin("/admin/appointment",
                   {{"name", "設計レビュー"},
                    {"folder", 10},
                    {"startInMinutes", 10},
                    {"durationMs", 1800000},
                    {"alarm", {{"rel", {{"m", 15}, {"neg", true}, {"related", "START"}}}}}});
    EXPECT_TRUE(WaitUntil([] { return ShellIcons("add_icon").size() >= 2; }, 60s))
        << "the reminder's icon never reached the shell\n"
        << ReadText(WineLog());
}

TEST_F(WineEndToEndTest, SecondStartsReachTheRunningInstanceAndEnd) {
    struct Start {
        std::vector<std::string> args;
        std::string traced;
    } starts[] = {
        {{"mailto:a@b?subject=Hi"}, "OnAbreTovela: a@b&subject=Hi"},
        {{"/settings"}, "OnSettingsShowRequest"},
        // Wine quotes an argument with a space, as the shell does for a file sent to us.
        {{"C:\\Docs\\a b.txt"}, "OnUploadFile: \"C:\\Docs\\a b.txt\""},
    };
    for (const auto& start : starts) {
        SCOPED_TRACE(start.traced);
        std::vector<std::string> args{Exe()};
        args.insert(args.end(), start.args.begin(), start.args.end());
        EXPECT_EQ(Wine(args), 0) << "the second start did not end within 60 s";
        EXPECT_TRUE(TraceHas(start.traced)) << Trace();
    }
    EXPECT_TRUE(TraceHas("AppPrev"));
    EXPECT_FALSE(program_->WaitForExit(0ms)) << "the first instance ended";
    // The settings were asked for: the window is "open" now and the timer's checks pause,
    // which is why this runs after the tests that need the server's answers.
}

TEST_F(WineEndToEndTest, EndOfSessionRemovesEveryIconAndEndsTheProgram) {
    EXPECT_EQ(Wine({"wineboot", "--end-session"}), 0);
    EXPECT_EQ(program_->WaitForExit(60s), std::optional<int>(0))
        << "the program did not end within 60 s of the end of the session";
    EXPECT_TRUE(TraceHas("SaveTNSettings.Exit", 0s));
    EXPECT_NE(Trace().find("\\\\\\\\\\ End: "), std::string::npos) << Trace();
    // The program took away every icon it added, and the shell hid each one.
    EXPECT_EQ(ProgramRequests(2), ProgramRequests(0));
    EXPECT_EQ(ShellIcons("hide_icon"), ShellIcons("add_icon")) << ReadText(WineLog());
    EXPECT_FALSE(ProgramWindowExists());
}

}  // namespace
}  // namespace tovela::testing

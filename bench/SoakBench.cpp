// The main form through 10,000 check cycles against the real fake server while the mailbox
// churns: new mail, read marks, mail deleted, appointments coming due and going, folders
// renamed. The poll timer is fired by hand, so no cycle waits for it. Reported: the private
// memory of this process (USS) at the start, its peak and at the end, and cycles a second.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "app/DebugLog.h"
#include "app/frmMain.h"
#include "fakes/FakePlatform.h"
#include "integration/FakeServer.h"
#include "platform/posix/Factories.h"
#include "platform/posix/JsonDesktop.h"

namespace tovela {
namespace {

using nlohmann::json;

// Private_Clean + Private_Dirty of the whole process, in KiB.
std::int64_t UssKiB() {
    std::ifstream in("/proc/self/smaps_rollup");
    std::string line;
    std::int64_t total = 0;
    while (std::getline(in, line)) {
        if (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0)
            total += std::stoll(line.substr(line.find(':') + 1));
    }
    return total;
}

// The desktop's JSON lines, counted and dropped: the soak must not keep what it is shown.
class CountingSink final : public std::streambuf {
public:
    std::int64_t balloons = 0;

protected:
    int overflow(int c) override {
        if (c == '\n') {
            balloons += line_.find("\"info\":\"") != std::string::npos &&
                        line_.find("\"info\":\"\"") == std::string::npos;
            line_.clear();
        } else if (c != EOF && line_.size() < 4096) {
            line_.push_back(static_cast<char>(c));
        }
        return c;
    }

private:
    std::string line_;
};

// The id the fake server gave an item, number or text.
std::string IdOf(const json& item) {
    if (!item.is_object() || !item.contains("id")) return {};
    const json& id = item["id"];
    return id.is_string() ? id.get<std::string>() : id.dump();
}

class RealClock final : public Clock {
public:
    std::int64_t NowUtcMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    std::uint32_t TickCount() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

// As the Linux program does it after every check.
class TrimmingSystemInfo final : public SystemInfo {
public:
    OsVersion GetVersion() override { return {}; }
    void EmptyWorkingSet() override { malloc_trim(0); }
    std::string UserDataFolder() override { return {}; }
    std::string SystemErrorText(std::uint32_t code) override {
        return std::strerror(static_cast<int>(code));
    }
    std::uint32_t LastError() override { return 0; }
};

// The real XML engine and HTTP client, the Linux desktop's JSON lines, and in-memory
// stand-ins for everything a check does not touch. Only the poll timer is driven by hand.
Platform SoakPlatform(std::ostream& desktopOut, std::unique_ptr<SettingsStore> settings,
                      std::unique_ptr<TimerService> timers) {
    Platform p;
    p.loop = std::make_unique<testing::FakeMessageLoop>();
    p.clock = std::make_unique<RealClock>();
    p.timeZone = std::make_unique<testing::FakeTimeZone>();
    p.locale = std::make_unique<testing::FakeLocaleInfo>();
    p.timers = std::move(timers);
    p.settings = std::move(settings);
    p.instance = std::make_unique<testing::FakeSingleInstance>();
    p.windows = std::make_unique<testing::FakeWindowSystem>();
    p.notifyIcons = std::make_unique<posix::JsonNotifyIcons>(desktopOut);
    p.desktop = std::make_unique<posix::JsonDesktop>(desktopOut);
    p.form = std::make_unique<testing::FakeFormWindow>();
    p.shell = std::make_unique<testing::FakeShell>();
    p.desktopWindows = std::make_unique<testing::FakeDesktopWindows>();
    p.system = std::make_unique<TrimmingSystemInfo>();
    p.xml = posix::CreateXmlFactory();
    p.http = posix::CreateHttpFactory();
    p.registry = std::make_unique<testing::FakeRegistry>();
    auto shellEnvironment = std::make_unique<testing::FakeShellEnvironment>();
    auto shellLinks = std::make_unique<testing::FakeShellLinks>();
    shellLinks->shell = shellEnvironment.get();
    p.shellEnvironment = std::move(shellEnvironment);
    p.shellLinks = std::move(shellLinks);
    p.files = std::make_unique<testing::FakeFileSystem>();
    p.uploadHttp = std::make_unique<testing::FakeUploadHttp>();
    p.userEnvironment = std::make_unique<testing::FakeUserEnvironment>();
    p.background = std::make_unique<testing::FakeBackgroundWork>();
    p.html = std::make_unique<FallbackHtmlEngine>();
    return p;
}

void BM_SoakCheckCycles(benchmark::State& state) {
    const int cycles = static_cast<int>(state.range(0));
    testing::FakeServer server(json{{"prefs", {{"tovelaPrefMailPollingInterval", "60"}}}});
    if (!server.Started()) return state.SkipWithError("the fake server did not start");
    const std::string projects =
        IdOf(server.Admin("/admin/folder", {{"name", "Projects"}, {"parent", 2}}));

    CountingSink sink;
    std::ostream desktopOut(&sink);
    auto settings = std::make_unique<testing::FakeSettingsStore>();
    settings->Put("TovelaHost", server.HostAndPort());
    settings->Put("HTTPS", "0");
    settings->Put("Username", "demo");
    settings->Put("Password", "text:demo");
    settings->Put("Sonido", "1");
    auto timers = std::make_unique<testing::FakeTimers>();
    testing::FakeTimers& poll = *timers;
    Platform platform = SoakPlatform(desktopOut, std::move(settings), std::move(timers));
    NullDebugLog log;
    frmMain form(platform, &log);
    if (!form.Form_Load("") || form.session.sAuthToken.empty()) {
        return state.SkipWithError("no login");
    }

    // One change to the mailbox before every check, in turn.
    std::vector<std::string> mail, appointments;
    int failed = 0;
    const auto churn = [&](int i) {
        const std::string n = std::to_string(i);
        const bool quiet = i % 1200 < 24;  // no new appointment for a while
        switch (i % 6) {
            case 0:
                mail.push_back(IdOf(server.Admin(
                    "/admin/mail", {{"folder", i % 12 == 0 ? std::string("2") : projects},
                                    {"from", {{"address", "user" + n + "@example.test"}}},
                                    {"subject", "Report " + n}})));
                break;
            case 1:
                if (!mail.empty()) server.Admin("/admin/read", {{"id", mail.back()}});
                break;
            case 2:
                if (quiet) break;
                appointments.push_back(IdOf(server.Admin(
                    "/admin/appointment", {{"name", "Meeting " + n},
                                           {"startInMinutes", 5},
                                           {"durationMs", 1800000},
                                           {"alarm", {{"rel", {{"m", 15}, {"neg", true}}}}}})));
                break;
            case 3:
                server.Admin("/admin/folder", {{"id", projects}, {"name", "Projects " + n}});
                break;
            case 4:
                // The older one goes, so one or two are due at a time; in a quiet spell
                // they all go, one a check, as on an evening without meetings.
                if (appointments.size() > (quiet ? 0u : 1u)) {
                    server.Admin("/admin/delete", {{"id", appointments.front()}});
                    appointments.erase(appointments.begin());
                }
                break;
            case 5:
                if (!mail.empty()) {
                    server.Admin("/admin/delete", {{"id", mail.front()}});
                    mail.erase(mail.begin());
                }
                break;
        }
    };
    const auto cycle = [&](int i) {
        churn(i);
        poll.Fire(PollTimer::kTimerId);
        failed += form.pollTimer.lTimerId() == 0 || !form.session.sLastError.empty();
    };

    // A few rounds first, so the start is taken with the caches of a running program.
    for (int i = 0; i < 60; ++i) cycle(i);
    const std::int64_t start = UssKiB();
    std::int64_t peak = start;
    double seconds = 0;
    for (auto _ : state) {
        const auto began = std::chrono::steady_clock::now();
        for (int i = 0; i < cycles; ++i) {
            cycle(60 + i);
            if (i % 100 == 0) peak = std::max(peak, UssKiB());
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
    const std::int64_t end = UssKiB();
    peak = std::max(peak, end);
    state.counters["uss_start_KiB"] = static_cast<double>(start);
    state.counters["uss_peak_KiB"] = static_cast<double>(peak);
    state.counters["uss_end_KiB"] = static_cast<double>(end);
    state.counters["end_minus_start_KiB"] = static_cast<double>(end - start);
    state.counters["cycles_per_s"] = cycles / seconds;
    state.counters["failed_checks"] = failed;
    state.counters["balloons"] = static_cast<double>(sink.balloons);
    state.counters["reminder_slots"] = static_cast<double>(form.calendar.aCalIcons.size());
    state.counters["reminders_kept"] = static_cast<double>(
        std::count_if(form.calendar.aCalIcons.begin(), form.calendar.aCalIcons.end(),
                      [](const auto& record) { return record != nullptr; }));
    state.counters["folder_slots"] = static_cast<double>(form.mailbox.Folders.size());
    form.Form_Unload();
}
BENCHMARK(BM_SoakCheckCycles)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tovela

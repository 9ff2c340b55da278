// Inputs that once cost time in the square of their size, or that froze the program, at
// growing sizes: each fit to O(N) by Google Benchmark, and the reporter's growth table shows
// the time per element against the smallest size (1 means linear).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/FileDebugLog.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeTray.h"
#include "platform/posix/Factories.h"
#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/MailboxSocket.h"
#include "platform/posix/PosixInstance.h"
#include "session/Calendar.h"
#include "settings/PocketCrypter.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

namespace fs = std::filesystem;

// A scratch folder for one benchmark, removed with it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "tovela-bench-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    fs::path path;
};

// The mailbox socket holding N idle connections (each a client that connected and says
// nothing) while a second start's request is served, in real time: the request waits for
// the loop on another thread. Up to 32 are kept; one more pushes out the oldest.
class QuitOnRequest final : public MailboxSink {
public:
    explicit QuitOnRequest(posix::EventLoop& loop) : loop_(loop) {}
    std::intptr_t OnCopyData(std::uint32_t kind, const std::optional<std::string>&) override {
        if (kind == kQuit) loop_.Quit();
        return 1;
    }
    void OnTrayCallback(std::int16_t) override {}
    void OnTaskbarCreated() override {}
    static constexpr std::uint32_t kQuit = 0xDEAD;

private:
    posix::EventLoop& loop_;
};

int ConnectIdle(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void BM_MailboxRequestBesideIdleConnections(benchmark::State& state) {
    ScratchFolder runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
    posix::EventLoop loop;
    posix::PosixWindowSystem windows(loop);
    QuitOnRequest sink(loop);
    const auto window = windows.CreateMailboxWindow(sink);
    const std::string path = posix::MailboxSocketPath();
    std::thread serving([&] { loop.Run(); });

    std::vector<int> idle;
    for (std::int64_t i = 0; i < state.range(0); ++i) idle.push_back(ConnectIdle(path));
    const posix::MailboxRequest mailto{1721, "mailto:a@example.test?subject=Hi"};
    // The loop has taken the idle ones in before the clock runs.
    for (int i = 0; i < 100; ++i) posix::SendMailboxRequest(path, mailto, 5000);
    for (auto _ : state) {
        if (!posix::SendMailboxRequest(path, mailto, 5000)) state.SkipWithError("not served");
    }
    state.SetComplexityN(state.range(0));
    posix::SendMailboxRequest(path, {QuitOnRequest::kQuit, std::nullopt}, 5000);
    serving.join();
    for (int fd : idle) close(fd);
}
BENCHMARK(BM_MailboxRequestBesideIdleConnections)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Arg(32)
    ->Complexity(benchmark::oN)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// A check's listing when N appointments are due: each is looked up among the kept records,
// and the records are pruned after the check. The first listing, which makes the records
// (and the first 16 icons), is done before the clock runs.
std::string DueListing(std::int64_t count, std::int64_t startMs) {
    std::string text =
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
        "<context xmlns=\"urn:tovela\"/></soap:Header><soap:Body><BatchResponse "
        "xmlns=\"urn:tovela\"><SearchResponse xmlns=\"urn:tovelaMail\">";
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string id = std::to_string(1000 + i);
        text += "<appt id=\"" + id + "\" name=\"Meeting " + id +
                "\" l=\"10\" d=\"1800000\" invId=\"" + id + "-" + id + "\"><inst s=\"" +
                std::to_string(startMs) + "\"/></appt>";
    }
    return text + "</SearchResponse></BatchResponse></soap:Body></soap:Envelope>";
}

void BM_DueAppointmentsLookedUp(benchmark::State& state) {
    constexpr std::int64_t kNowUtc = 1796600000;
    auto xml = posix::CreateXmlFactory();
    auto doc = xml->CreateDocument();
    // Due: five minutes ahead, reminded fifteen before.
    doc->LoadXml(DueListing(state.range(0), (kNowUtc + 300) * 1000));
    testing::FakeWindowSystem windows;
    testing::FakeTray tray;
    testing::FakeLocaleInfo locale;
    SessionContext session;
    session.sServerVersion = "8.8.15_GA";
    MailboxModel mailbox;
    Calendar calendar(
        [&] {
            return std::make_unique<Icontify>(TrayServices{windows, tray});
        },
        nullptr, locale, 3);
    const CalendarContext ctx{session, 15, false, kNowUtc, 0, mailbox, {"迷惑メール", false}};
    std::string summary, reminders;
    calendar.AppointmentListing(*doc->DocumentElement(), ctx, summary, reminders);
    for (auto _ : state) {
        reminders.clear();
        calendar.AppointmentListing(*doc->DocumentElement(), ctx, summary, reminders);
        calendar.PruneAppointments(ctx);
        benchmark::DoNotOptimize(reminders.size());
    }
    if (tray.shown.size() != Calendar::kMaxReminderIcons && state.range(0) >= 16)
        state.SkipWithError("not every appointment was due");
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DueAppointmentsLookedUp)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Arg(64000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// Start-up reading every setting of the program from a file that also holds N keys it
// does not know.
void BM_SettingsReadBesideExtraKeys(benchmark::State& state) {
    ScratchFolder config;
    fs::create_directories(config.path / "NotificadorTovela");
    {
        std::ofstream out(config.path / "NotificadorTovela" / "Settings.ini");
        out << "[Settings]\nTovelaHost=mail.example.test\nUsername=demo\nPassword=text:demo\n";
        for (std::int64_t i = 0; i < state.range(0); ++i)
            out << "Extra" << i << "=value number " << i << "\n";
    }
    static constexpr const char* kKeys[] = {
        "TovelaHost", "HTTPS",  "Username", "GuardaPassword", "Password", "WebmailLogin",
        "Ventana",    "Sonido", "AutoRun",  "mailtoHandler",  "Filtros",  "WhiteList"};
    for (auto _ : state) {
        posix::IniSettingsStore store(config.path.string());
        for (const char* key : kKeys)
            benchmark::DoNotOptimize(store.GetSetting("NotificadorTovela", "Settings", key));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsReadBesideExtraKeys)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// A stored password of N base-36 digits, as an edited settings file may hold it: beyond
// what the program ever writes it is refused before any conversion.
void BM_StoredPasswordOfNDigits(benchmark::State& state) {
    const std::string stored(static_cast<std::size_t>(state.range(0)), 'Z');
    const CheckBox webmailLogin;
    for (auto _ : state) benchmark::DoNotOptimize(PasswordFromStoredForm(stored, webmailLogin));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StoredPasswordOfNDigits)
    ->Arg(8000)
    ->Arg(32000)
    ->Arg(128000)
    ->Arg(512000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

// The longest stored password the program still converts, for scale.
void BM_StoredPasswordLongestRead(benchmark::State& state) {
    const std::string stored(512, 'Z');
    const CheckBox webmailLogin;
    for (auto _ : state) benchmark::DoNotOptimize(PasswordFromStoredForm(stored, webmailLogin));
}
BENCHMARK(BM_StoredPasswordLongestRead)->Unit(benchmark::kMicrosecond);

// One trace line of N bytes: a server answer as Base64 with the password in it now and
// then, and control bytes that must not start lines of their own.
void BM_TraceLineMasked(benchmark::State& state) {
    std::string answer;
    while (answer.size() < static_cast<std::size_t>(state.range(0))) {
        answer +=
            "<m id=\"1\"><su>secret-pw in a subject\r\n</su></m><password>secret-pw"
            "</password><content>";
        answer.append(400, 'x');
        answer += "</content>";
    }
    answer.resize(static_cast<std::size_t>(state.range(0)));
    const std::string line = "*PS: (2026/12/06 07:51:15):" + Base64Encode(answer);
    FileDebugLog trace("/nonexistent/debug.log", [] { return std::string("secret-pw"); });
    for (auto _ : state) benchmark::DoNotOptimize(trace.Redact(line));
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TraceLineMasked)
    ->Arg(80 << 10)
    ->Arg(320 << 10)
    ->Arg(1280 << 10)
    ->Arg(5120 << 10)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovela

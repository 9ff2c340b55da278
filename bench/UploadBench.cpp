// Uploads and zip packing of a gigabyte, each against the common tool doing the same job in
// the same run: `curl` posting the same multipart body to the same fake server, and `zip -1`
// packing the same folder. The program's side runs in a child process so that its peak
// resident memory is its own.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fakes/FakePlatform.h"
#include "integration/FakeServer.h"
#include "platform/posix/CurlUploadHttp.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/ThreadBackgroundWork.h"
#include "submit/CHTTP.h"
#include "submit/PathNames.h"
#include "submit/ZipFiles.h"

namespace tovela::bench {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kGiB = 1 << 30;

// A folder of its own under TMPDIR, gone afterwards.
struct Scratch {
    Scratch() {
        dir = fs::temp_directory_path() / ("tovela-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    fs::path dir;
};

// `size` bytes: random ones, or text that packs about as well as source code does.
void WriteFile(const fs::path& path, std::uint64_t size, bool text, std::uint64_t seed) {
    std::ofstream out(path, std::ios::binary);
    std::string chunk(kMiB, '\0');
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    static const char* const kWords[] = {"upload ", "mailbox ", "calendar ", "token ", "session ",
                                         "folder ", "\n",       "reminder ", "42 "};
    for (std::uint64_t written = 0; written < size;) {
        if (text) {
            chunk.clear();
            while (chunk.size() < kMiB) chunk += kWords[next() % 9];
            chunk.resize(kMiB);
        } else {
            for (std::size_t i = 0; i < kMiB; i += 8) {
                const std::uint64_t v = next();
                std::memcpy(chunk.data() + i, &v, 8);
            }
        }
        const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(kMiB, size - written));
        out.write(chunk.data(), n);
        written += static_cast<std::uint64_t>(n);
    }
}

struct ChildRun {
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

// Runs `work` in a child process; its time, its peak resident memory and its verdict.
ChildRun InChild(const std::function<bool()>& work) {
    const auto start = Steady::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {std::chrono::duration<double>(Steady::now() - start).count(),
            static_cast<double>(usage.ru_maxrss) / 1024.0,
            WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

ChildRun Command(std::vector<std::string> args, const fs::path& cwd = {}) {
    return InChild([&] {
        if (!cwd.empty()) fs::current_path(cwd);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        return false;
    });
}

struct Outcome final : CHTTPEvents {
    void CodErrorSubida(std::int32_t, const std::string& d) override { text = "error " + d; }
    void Completed() override { text = "Completed"; }
    void ErrorDeSubida(const std::string& c) override { text = "answer " + c; }
    std::string text;
};

void BM_Upload1GiB(benchmark::State& state) {
    Scratch scratch;
    const fs::path file = scratch.dir / "big.bin";
    WriteFile(file, kGiB, false, 1);
    testing::FakeServer server;
    const std::string token = testing::soap::LogIn(server).token;
    posix::PosixFileSystem files;

    // The same body for curl, written by the program's own body writer.
    const fs::path bodyFile = scratch.dir / "body.bin";
    {
        std::vector<UploadFile> parts;
        parts.push_back({file.string(), "big.bin", kGiB, files.OpenForReading(file.string())});
        MultipartBody body(std::move(parts));
        std::ofstream out(bodyFile, std::ios::binary);
        std::string chunk(kMiB, '\0');
        while (const std::size_t n = body.Read(chunk).value_or(0))
            out.write(chunk.data(), static_cast<std::streamsize>(n));
    }
    const std::string url = "http://" + server.HostAndPort() + "/service/upload?fmt=raw";

    for (auto _ : state) {
        const ChildRun ours = InChild([&] {
            posix::PosixUserEnvironment user;
            posix::ThreadBackgroundWork background;
            posix::EventLoop loop;
            testing::FakeClock clock;
            testing::FakeTimeZone zone;
            AccountPreferences account;
            auto http = posix::CreateCurlUploadHttpFactory({});
            Outcome outcome;
            CHTTP upload({files, *http, user, background, loop, clock, zone, account}, outcome);
            upload.sServer = server.HostAndPort();
            upload.sToken = token;
            upload.sFiles = file.string();
            upload.Upload("/service/upload?fmt=raw");
            if (outcome.text != "Completed") std::fprintf(stderr, "%s\n", outcome.text.c_str());
            return outcome.text == "Completed";
        });
        const ChildRun curl =
            Command({"curl", "-sS", "--fail", "-o", "/dev/null", "-X", "POST", "-T",
                     bodyFile.string(), "-H", "Expect:", "-H",
                     "Content-Type: multipart/form-data; boundary=----TovelaNotifierPostBoundary",
                     "-H", "Cookie: TV_TEST=true; TV_AUTH_TOKEN=" + token, url});
        if (!ours.ok || !curl.ok) state.SkipWithError("an upload failed");
        state.SetIterationTime(ours.seconds);
        state.counters["ours_MBps"] = static_cast<double>(kGiB) / kMiB / ours.seconds;
        state.counters["curl_MBps"] = static_cast<double>(kGiB) / kMiB / curl.seconds;
        state.counters["throughput_vs_curl"] = curl.seconds / ours.seconds;
        state.counters["peak_RSS_MiB"] = ours.peakMiB;
    }
}
BENCHMARK(BM_Upload1GiB)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Zip1GiB(benchmark::State& state) {
    Scratch scratch;
    const fs::path tree = scratch.dir / "tree";
    fs::create_directories(tree / "docs");
    fs::create_directories(tree / "media");
    // A gigabyte: large random files (pictures, archives) and text files of many sizes.
    for (int i = 0; i < 36; ++i)
        WriteFile(tree / "media" / (std::to_string(i) + ".bin"), 8 * kMiB, false, i);
    for (int i = 0; i < 512; ++i) {
        const std::uint64_t size = (i % 8 == 0) ? 8 * kMiB : (i % 8) * 128 * 1024 + 4096;
        WriteFile(tree / "docs" / (std::to_string(i) + ".txt"), size, true, 1000 + i);
    }
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tree))
        if (entry.is_regular_file()) total += entry.file_size();
    posix::PosixFileSystem files;
    const std::string ourArchive = (scratch.dir / "ours.zip").string();
    const std::string theirArchive = (scratch.dir / "theirs.zip").string();

    for (auto _ : state) {
        const ChildRun ours =
            InChild([&] { return ZipFiles(files, {FolderItem(tree.string())}, ourArchive) == 0; });
        const ChildRun zip = Command({"zip", "-1", "-r", "-q", theirArchive, "tree"}, scratch.dir);
        if (!ours.ok || !zip.ok) state.SkipWithError("packing failed");
        state.SetIterationTime(ours.seconds);
        state.counters["input_MiB"] = static_cast<double>(total) / kMiB;
        state.counters["time_vs_zip1"] = ours.seconds / zip.seconds;
        state.counters["size_vs_zip1"] = static_cast<double>(fs::file_size(ourArchive)) /
                                         static_cast<double>(fs::file_size(theirArchive));
        state.counters["peak_RSS_MiB"] = ours.peakMiB;
    }
}
BENCHMARK(BM_Zip1GiB)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tovela::bench

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakePlatform.h"
#include "integration/FakeServer.h"
#include "integration/Sha256.h"
#include "platform/posix/CurlUploadHttp.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/ThreadBackgroundWork.h"
#include "submit/CHTTP.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SteadyClock final : public Clock {
public:
    std::int64_t NowUtcMs() override { return 0; }
    std::uint32_t TickCount() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

// The events, and the thread each one came on.
struct Events final : CHTTPEvents {
    void CodErrorSubida(std::int32_t Number, const std::string& Description) override {
        Add("CodErrorSubida " + std::to_string(Number) + " " + Description);
    }
    void Completed() override { Add("Completed"); }
    void ErrorDeSubida(const std::string& sChunk) override { Add("ErrorDeSubida " + sChunk); }
    void UploadProgress(int nPercent) override {
        progress.push_back(nPercent);
        threads.push_back(std::this_thread::get_id());
    }
    void Add(std::string event) {
        log.push_back(std::move(event));
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> log;
    std::vector<int> progress;
    std::vector<std::thread::id> threads;
};

// CHTTP on the Linux back end (files, libcurl, worker threads, the poll loop) against the
// fake server's upload service.
class UploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Started()) << server.Output();
        token = soap::LogIn(server).token;
        ASSERT_FALSE(token.empty());
        dir = fs::temp_directory_path() / ("tovela-upload-" + std::to_string(getpid()));
        fs::create_directories(dir / "temp");
        setenv("TMPDIR", (dir / "temp").c_str(), 1);
        setenv("no_proxy", "127.0.0.1", 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        fs::remove_all(dir);
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::string Upload(const std::string& items, const std::string& names = "",
                       const UploadLimits& limits = {5000ms, 10000ms}) {
        http = posix::CreateCurlUploadHttpFactory(limits);
        CHTTP upload({files, *http, user, background, loop, clock, zone, account}, events);
        upload.sServer = address.empty() ? server.HostAndPort() : address;
        upload.sToken = token;
        upload.sFiles = items;
        upload.sFileNames = names;
        upload.bToBriefcase = briefcase;
        upload.Upload("/service/upload?fmt=raw");
        attachIds = upload.sAttachIds;
        subject = upload.sSubject;
        EXPECT_EQ(events.log.size(), 1u);
        for (const auto& thread : events.threads) EXPECT_EQ(thread, std::this_thread::get_id());
        return events.log.empty() ? std::string() : events.log.back();
    }

    nlohmann::json Uploads() { return server.Uploads(); }

    FakeServer server;
    std::string token;
    fs::path dir;
    posix::PosixFileSystem files;
    posix::PosixUserEnvironment user;
    posix::ThreadBackgroundWork background;
    posix::EventLoop loop;
    SteadyClock clock;
    FakeTimeZone zone;
    AccountPreferences account;
    std::unique_ptr<UploadHttpFactory> http;
    Events events;
    bool briefcase = false;
    std::string address;  // where the upload goes, when not to the server
    std::string attachIds;
    std::string subject;
};

TEST_F(UploadTest, EveryByteArrivesAsSentInTheExactRequest) {
    std::string bytes;
    for (int round = 0; round < 300; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>((value * 7 + round) & 0xFF);
    const std::string path = Write("all bytes.bin", bytes);

    EXPECT_EQ(Upload("\"" + path + "\""), "Completed");
    const nlohmann::json uploads = Uploads();
    ASSERT_EQ(uploads["files"].size(), 1u) << uploads.dump(1);
    const nlohmann::json& file = uploads["files"][0];
    EXPECT_EQ(file["sha256"], Sha256(bytes));
    EXPECT_EQ(file["size"], bytes.size());
    EXPECT_EQ(file["fileName"], "all bytes.bin");
    EXPECT_EQ(file["fieldName"], "all bytes.bin");
    EXPECT_EQ(file["requestId"], "1");
    EXPECT_EQ(attachIds, file["id"]);
    EXPECT_EQ(subject, "all bytes.bin (75 KB)");

    const std::string delimiter = "------TovelaNotifierPostBoundary\r\n";
    const std::string body =
        delimiter + "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\nUTF-8\r\n" +
        delimiter + "Content-Disposition: form-data; name=\"filename1\"\r\n\r\nall bytes.bin\r\n" +
        delimiter +
        "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"all bytes.bin\"\r\n\r\n" +
        bytes + "\r\n" + delimiter +
        "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n1\r\n"
        "------TovelaNotifierPostBoundary--\r\n\r\n";
    const nlohmann::json& request = uploads["requests"][0];
    EXPECT_EQ(request["bodySha256"], Sha256(body));
    EXPECT_EQ(request["bodySize"], body.size());

    // Exactly the program's headers: none added by the HTTP library.
    const nlohmann::json headers = server.Requests().back()["headers"];
    const nlohmann::json expected = {
        {"Accept-Language", "en-us"},
        {"Content-Type", "multipart/form-data; boundary=----TovelaNotifierPostBoundary"},
        {"User-Agent", "TovelaNotifier/6.1.0 (Windows)"},
        {"Host", "127.0.0.1"},
        {"Content-Length", std::to_string(body.size())},
        {"Connection", "Close"},
        {"Cookie", "TV_TEST=true; TV_AUTH_TOKEN=" + token}};
    EXPECT_EQ(headers, expected);
}

TEST_F(UploadTest, NamedFilesAndAPackedFolder) {
    const std::string a = Write("a.tmp", "first");
    const std::string b = Write("b.tmp", std::string(3000, 'b'));
    EXPECT_EQ(Upload(a + " " + b, "\"会議 資料.txt\" b.txt"), "Completed");
    nlohmann::json stored = Uploads()["files"];
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0]["fileName"], "=?utf-8?Q?=E4=BC=9A=E8=AD=B0_=E8=B3=87=E6=96=99=2Etxt?=");
    EXPECT_EQ(stored[1]["fileName"], "b.txt");
    EXPECT_EQ(stored[1]["sha256"], Sha256(std::string(3000, 'b')));
    EXPECT_EQ(attachIds,
              stored[0]["id"].get<std::string>() + "," + stored[1]["id"].get<std::string>());

    // A folder makes an archive of both items, sent under the name of the two objects;
    // the briefcase takes names as UTF-8.
    Write("Docs/.hidden", "h");
    Write("Docs/会議.txt", "議事録");
    events.log.clear();
    briefcase = true;
    EXPECT_EQ(Upload(a + " " + (dir / "Docs").string()), "Completed");
    stored = Uploads()["files"];
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[2]["fileName"], "2_オブジェクト.zip");
    EXPECT_GT(stored[2]["size"].get<int>(), 100);
    EXPECT_EQ(subject.rfind("2_オブジェクト.zip (", 0), 0u) << subject;
    EXPECT_TRUE(fs::is_empty(dir / "temp")) << "the temporary archive is gone";
}

TEST_F(UploadTest, FailuresOfTheServerAndTheNetwork) {
    const std::string path = Write("a.txt", "12345");
    const std::string at = server.HostAndPort();
    struct Case {
        const char* name;
        nlohmann::json script;
        nlohmann::json scenario;
        std::string token;
        std::string event;
    };
    const Case cases[] = {
        {"ServiceUnavailable",
         {{"nextResponse", {{"status", 503}, {"body", "busy"}}}},
         nullptr,
         "",
         "CodErrorSubida 54147 Request sent to " + at + ":" + std::to_string(server.Port()) +
             "\r\nURL: /service/upload?fmt=raw\r\nReturned Error Code: 503\r\n"
             "Status Text: Service Unavailable"},
        {"NotAnUploadResult",
         {{"nextResponse", {{"status", 200}, {"body", "<html>maintenance</html>"}}}},
         nullptr,
         "",
         "ErrorDeSubida <html>maintenance</html>\r\nMessage size: 5 B\r\nAttachment count: 1"},
        {"UnknownToken", nullptr, nullptr, "forged",
         "CodErrorSubida 54147 Request sent to " + at + ":" + std::to_string(server.Port()) +
             "\r\nURL: /service/upload?fmt=raw\r\nReturned Error Code: 401\r\n"
             "Status Text: Unauthorized"},
        {"ServerSizeLimit",
         nullptr,
         {{"limits", {{"attSizeLimit", "4"}}}},
         "",
         "ErrorDeSubida 413,'1','a.txt is larger than 4 bytes'\r\nMessage size: 5 B\r\n"
         "Attachment count: 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Admin("/admin/script", c.script.is_null() ? nlohmann::json::object() : c.script);
        if (!c.scenario.is_null()) server.Admin("/admin/scenario", c.scenario);
        const std::string saved = token;
        if (!c.token.empty()) token = c.token;
        events.log.clear();
        EXPECT_EQ(Upload(path), c.event);
        token = saved;
        server.Admin("/admin/scenario", {{"limits", {{"attSizeLimit", nullptr}}}});
    }
    EXPECT_TRUE(Uploads()["files"].empty());
}

TEST_F(UploadTest, TransportFailuresCarryTheClientsNumbers) {
    const std::string path = Write("a.txt", "12345");
    // Nothing listens on the port.
    FakeServer gone;
    address = gone.HostAndPort();
    gone.Stop();
    const std::string refused = Upload(path, "", {2000ms, 2000ms});
    address.clear();
    EXPECT_EQ(refused.rfind("CodErrorSubida 54146 Can't send request to 127.0.0.1:", 0), 0u);
    EXPECT_NE(refused.find("Error Code: 12029\r\n"), std::string::npos) << refused;

    // The server takes the body and then says nothing for longer than the client waits.
    server.Admin("/admin/script", {{"delayMs", 4000}});
    events.log.clear();
    const std::string stalled = Upload(path, "", {2000ms, 1000ms});
    EXPECT_NE(stalled.find("Error Code: 12002\r\nError message: The operation timed out"),
              std::string::npos)
        << stalled;
}

TEST_F(UploadTest, RedirectsAreFollowedOnceAndStoppedWhenTheyLoop) {
    const std::string path = Write("a.txt", "12345");
    server.ScriptUploads({{"redirects", 1}, {"location", "/service/upload?fmt=raw&moved=1"}});
    EXPECT_EQ(Upload(path), "Completed");
    nlohmann::json uploads = Uploads();
    ASSERT_EQ(uploads["requests"].size(), 2u);
    EXPECT_EQ(uploads["requests"][1]["target"], "/service/upload?fmt=raw&moved=1");
    EXPECT_EQ(uploads["requests"][0]["bodySha256"], uploads["requests"][1]["bodySha256"]);
    EXPECT_EQ(uploads["files"].size(), 1u);

    server.ScriptUploads({{"redirects", -1}, {"location", nullptr}});
    events.log.clear();
    const std::string looped = Upload(path);
    EXPECT_NE(looped.find("Error Code: 12156\r\nError message: The server redirected the upload "
                          "more than 5 times."),
              std::string::npos)
        << looped;
    EXPECT_EQ(Uploads()["requests"].size(), 2u + 6u);
}

TEST_F(UploadTest, TheLoopKeepsRunningAndTheProgressShowsWhileTheServerIsSlow) {
    const std::string path = Write("a.txt", std::string(200000, 'x'));
    server.Admin("/admin/script", {{"delayMs", 1500}});
    int ticks = 0;
    loop.SetTimer(7, 100, [&] { ++ticks; });
    EXPECT_EQ(Upload(path), "Completed");
    loop.KillTimer(7);
    EXPECT_GE(ticks, 5) << "timers fired while the upload ran";
    ASSERT_FALSE(events.progress.empty());
    EXPECT_EQ(events.progress.back(), 100);
}

}  // namespace
}  // namespace tovela::testing

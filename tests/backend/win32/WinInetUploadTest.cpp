#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Win32BackgroundWork.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WinHttpRequest.h"
#include "platform/win32/WinInetUploadHttp.h"
#include "platform/win32/WinText.h"
#include "session/SoapRequests.h"
#include "submit/CHTTP.h"
#include "submit/PathNames.h"

namespace tovela::win32 {
namespace {

using namespace std::chrono_literals;

// The user-interface thread's waits, as the program's loop does them.
class PumpingLoop final : public MessageLoop {
public:
    void SetShutdownHandler(std::function<void()>) override {}
    int Run() override { return 0; }
    void Quit() override {}
    std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t> handles,
                                            std::uint32_t milliseconds) override {
        std::vector<HANDLE> list;
        for (std::uintptr_t h : handles) list.push_back(reinterpret_cast<HANDLE>(h));
        return ::MsgWaitForMultipleObjects(static_cast<DWORD>(list.size()), list.data(), FALSE,
                                           milliseconds, QS_ALLINPUT);
    }
    void DoEvents() override {
        MSG msg = {};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

class TickClock final : public Clock {
public:
    std::int64_t NowUtcMs() override { return 0; }
    std::uint32_t TickCount() override { return GetTickCount(); }
};

class NoBias final : public TimeZone {
public:
    int BiasMinutes(std::int64_t) override { return 0; }
};

struct Events final : CHTTPEvents {
    void CodErrorSubida(std::int32_t Number, const std::string& Description) override {
        log = "CodErrorSubida " + std::to_string(Number) + " " + Description;
    }
    void Completed() override { log = "Completed"; }
    void ErrorDeSubida(const std::string& sChunk) override { log = "ErrorDeSubida " + sChunk; }
    std::string log;
};

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find(from);
    if (start == std::string::npos) return {};
    const std::size_t end = text.find(to, start + from.size());
    return end == std::string::npos ? ""
                                    : text.substr(start + from.size(), end - start - from.size());
}

// CHTTP on the Windows back end (WinInet, the file functions, a worker thread and the
// message loop) against the fake server, which the test script starts and names in
// TOVELA_FAKE_SERVER.
class WinInetUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* server = std::getenv("TOVELA_FAKE_SERVER");
        if (!server || !*server) GTEST_SKIP() << "TOVELA_FAKE_SERVER is not set";
        hostAndPort_ = server;
        ASSERT_TRUE(Admin("/admin/reset", "{}")) << "the fake server does not answer";
        auto login = CreateWinHttpFactory({})->CreateRequest();
        login->Open("POST", "http://" + hostAndPort_ + "/service/soap");
        login->SetRequestHeader("Content-Type", "application/soap+xml; charset=utf-8");
        ASSERT_TRUE(login->Send(BuildLoginBatch("demo", "demo")));
        token_ = Between(login->ResponseText(), "<authToken>", "</authToken>");
        ASSERT_FALSE(token_.empty()) << login->ResponseText();
        folder_ = JoinPath(files_.TempFolder(), "tovela-upload-test");
        CreateDirectoryW(Wide(folder_).c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& path : written_) files_.RemoveFile(path);
        RemoveDirectoryW(Wide(JoinPath(folder_, "Docs")).c_str());
        RemoveDirectoryW(Wide(folder_).c_str());
    }

    std::optional<std::string> Admin(const std::string& path, const std::string& json) {
        auto request = CreateWinHttpFactory({})->CreateRequest();
        request->Open(json.empty() ? "GET" : "POST", "http://" + hostAndPort_ + path);
        if (!json.empty()) request->SetRequestHeader("Content-Type", "application/json");
        if (!request->Send(json) || request->Status() != 200) return std::nullopt;
        return request->ResponseText();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = JoinPath(folder_, name);
        auto out = files_.CreateForWriting(path);
        EXPECT_TRUE(out && out->Write(bytes) && out->Close()) << path;
        written_.push_back(path);
        return path;
    }

    std::string Upload(const std::string& items, const std::string& server = "",
                       const UploadLimits& limits = {5000ms, 5000ms}) {
        auto http = CreateWinInetUploadHttpFactory(limits);
        Events events;
        CHTTP upload({files_, *http, user_, background_, loop_, clock_, zone_, account_}, events);
        upload.sServer = server.empty() ? hostAndPort_ : server;
        upload.sToken = token_;
        upload.sFiles = items;
        upload.Upload("/service/upload?fmt=raw");
        subject_ = upload.sSubject;
        return events.log;
    }

    std::string hostAndPort_;
    std::string token_;
    std::string folder_;
    std::vector<std::string> written_;
    std::string subject_;
    Win32FileSystem files_;
    Win32UserEnvironment user_;
    Win32BackgroundWork background_;
    PumpingLoop loop_;
    TickClock clock_;
    NoBias zone_;
    AccountPreferences account_;
};

TEST_F(WinInetUploadTest, EveryByteArrivesWithTheProgramsHeaders) {
    std::string bytes;
    for (int i = 0; i < 65536 * 3; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    const std::string path = Write("all bytes.bin", bytes);
    EXPECT_EQ(Upload("\"" + path + "\""), "Completed");
    EXPECT_EQ(subject_, "all bytes.bin (192 KB)");

    const std::string uploads = Admin("/admin/uploads", "").value_or("");
    EXPECT_NE(uploads.find(R"("fileName":"all bytes.bin")"), std::string::npos) << uploads;
    EXPECT_NE(uploads.find(R"("size":196608)"), std::string::npos) << uploads;
    EXPECT_NE(uploads.find(
                  R"("sha256":"a7bab9f100c2433ace35d31a285a7a55e09684157cf857b28d3c6b8fa8c17747")"),
              std::string::npos)
        << uploads;

    // Exactly the program's headers, none of WinInet's own (the log lists them sorted).
    const std::string requests = Admin("/admin/requests", "").value_or("");
    const std::string headers =
        R"x("headers":{"Accept-Language":"en-us","Connection":"Close","Content-Length":")x" +
        Between(uploads, R"("bodySize":)", ",") +
        R"x(","Content-Type":"multipart/form-data; boundary=----TovelaNotifierPostBoundary",)x"
        R"x("Cookie":"TV_TEST=true; TV_AUTH_TOKEN=)x" +
        token_ + R"x(","Host":"127.0.0.1","User-Agent":"TovelaNotifier/6.1.0 (Windows)"})x";
    EXPECT_NE(requests.find(headers), std::string::npos) << headers << "\n" << requests;
}

TEST_F(WinInetUploadTest, FoldersArePackedAndFailuresReported) {
    CreateDirectoryW(Wide(JoinPath(folder_, "Docs")).c_str(), nullptr);
    Write("Docs\\会議.txt", "議事録");
    const std::string hidden = Write("Docs\\.secret", "h");
    SetFileAttributesW(Wide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Upload(JoinPath(folder_, "Docs")), "Completed");
    EXPECT_EQ(subject_.rfind("Docs.zip (", 0), 0u) << subject_;
    EXPECT_NE(Admin("/admin/uploads", "").value_or("").find(R"("fileName":"Docs.zip")"),
              std::string::npos);

    const std::string path = Write("a.txt", "12345");
    ASSERT_TRUE(Admin("/admin/script", R"({"nextResponse": {"status": 503, "body": "busy"}})"));
    EXPECT_EQ(Upload(path), "CodErrorSubida 54147 Request sent to " + hostAndPort_ + ":" +
                                hostAndPort_.substr(hostAndPort_.find(':') + 1) +
                                "\r\nURL: /service/upload?fmt=raw\r\nReturned Error Code: 503\r\n"
                                "Status Text: Service Unavailable");

    ASSERT_TRUE(Admin("/admin/uploads/script", R"({"redirects": 1})"));
    EXPECT_EQ(Upload(path), "Completed");

    // The server takes the body and then says nothing for longer than the client waits.
    ASSERT_TRUE(Admin("/admin/script", R"({"delayMs": 4000})"));
    const std::string stalled = Upload(path, "", {5000ms, 1000ms});
    ASSERT_TRUE(Admin("/admin/script", R"({"delayMs": null})"));
    EXPECT_NE(stalled.find("Error Code: 12002\r\n"), std::string::npos) << stalled;

    const std::string refused = Upload(path, "127.0.0.1:1");
    EXPECT_EQ(refused.rfind("CodErrorSubida 54146 Can't send request to 127.0.0.1:1\r\n", 0), 0u)
        << refused;
    EXPECT_NE(refused.find("Error Code: 12029"), std::string::npos) << refused;
}

}  // namespace
}  // namespace tovela::win32

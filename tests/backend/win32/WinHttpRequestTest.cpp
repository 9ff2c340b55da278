#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/WinHttpRequest.h"

namespace tovela::win32 {
namespace {

using namespace std::chrono_literals;

// WinHTTP against the fake groupware server, which the test script starts on the loopback
// address and names in TOVELA_FAKE_SERVER ("127.0.0.1:port"). The server's admin interface
// scripts its answers and tells what it received.
class WinHttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* server = std::getenv("TOVELA_FAKE_SERVER");
        if (!server || !*server) GTEST_SKIP() << "TOVELA_FAKE_SERVER is not set";
        base_ = std::string("http://") + server;
        hostAndPort_ = server;
        ASSERT_TRUE(Admin("/admin/reset", "{}")) << "the fake server does not answer at " << base_;
    }

    // A POST to the admin interface; its answer, or nothing when it failed.
    std::optional<std::string> Admin(const std::string& path, const std::string& json) {
        auto request = CreateWinHttpFactory({})->CreateRequest();
        request->Open(json.empty() ? "GET" : "POST", base_ + path);
        if (!json.empty()) request->SetRequestHeader("Content-Type", "application/json");
        if (!request->Send(json) || request->Status() != 200) return std::nullopt;
        return request->ResponseText();
    }
    std::string Requests() { return Admin("/admin/requests", "").value_or(""); }

    std::unique_ptr<HttpRequest> Post(const std::string& body, const HttpLimits& limits = {},
                                      const std::string& url = "") {
        auto request = CreateWinHttpFactory(limits)->CreateRequest();
        request->Open("POST", url.empty() ? base_ + "/service/soap" : url);
        request->SetRequestHeader("Content-Type", "text/plain;charset=UTF-8");
        request->Send(body);
        return request;
    }

    std::string base_;
    std::string hostAndPort_;
};

TEST_F(WinHttpRequestTest, SendsUtf8AndReadsTheAnswerAsTheServerWroteIt) {
    ASSERT_TRUE(Admin("/admin/script", R"({"nextResponse": {"status": 200,
        "contentType": "text/xml; charset=utf-8", "body": "<r>未読 ✉ ü</r>"}})"));
    auto request = Post("<x>件名: 会議 😀</x>");
    ASSERT_EQ(request->Error().number, 0u) << request->Error().description;
    EXPECT_EQ(request->Status(), 200);
    EXPECT_EQ(request->StatusText(), "OK");
    EXPECT_EQ(request->ResponseText(), "<r>未読 ✉ ü</r>");

    const std::string log = Requests();
    EXPECT_NE(log.find(R"("body":"<x>件名: 会議 😀</x>")"), std::string::npos) << log;
    EXPECT_NE(log.find(R"("Content-Type":"text/plain;charset=UTF-8")"), std::string::npos) << log;
    EXPECT_NE(log.find(R"("Host":")" + hostAndPort_ + "\""), std::string::npos) << log;
    EXPECT_NE(log.find(R"("User-Agent":"TovelaNotifier")"), std::string::npos) << log;
}

TEST_F(WinHttpRequestTest, AnErrorStatusIsAnAnswerNotAFailure) {
    ASSERT_TRUE(Admin("/admin/script", R"({"nextResponse": {"status": 503, "body": "busy"}})"));
    auto request = Post("<x/>");
    EXPECT_EQ(request->Error().number, 0u) << request->Error().description;
    EXPECT_EQ(request->Status(), 503);
    EXPECT_EQ(request->StatusText(), "Service Unavailable");
    EXPECT_EQ(request->ResponseText(), "busy");

    // A header value with a line break would add a header of its own: it is not sent.
    auto smuggler = CreateWinHttpFactory({})->CreateRequest();
    smuggler->Open("POST", base_ + "/service/soap");
    smuggler->SetRequestHeader("X-Note", "a\r\nX-Injected: 1");
    ASSERT_TRUE(smuggler->Send("<x/>")) << smuggler->Error().description;
    EXPECT_EQ(Requests().find("X-Injected"), std::string::npos);
}

TEST_F(WinHttpRequestTest, TransportFailuresAreNumberedAsTheRequestObjectNumbersThem) {
    // Nothing listens on port 1 of the loopback address.
    auto refused = Post("<x/>", {}, "http://127.0.0.1:1/service/soap");
    EXPECT_EQ(refused->Error().number, kInetResourceNotFound) << refused->Error().description;
    EXPECT_EQ(refused->Status(), 0);
    EXPECT_FALSE(refused->Error().description.empty());

    // A slow server meets the time limit: WinHTTP's time-out, as an HRESULT.
    ASSERT_TRUE(Admin("/admin/script", R"({"delayMs": 9000})"));
    auto slow = Post("<x/>", {1s, 1s});
    ASSERT_TRUE(Admin("/admin/script", R"({"delayMs": null})"));
    EXPECT_EQ(slow->Error().number, 0x80072EE2u) << slow->Error().description;
    EXPECT_EQ(slow->Error().lastDllError, 12002u);

    // More than the size limit is refused rather than read into memory.
    ASSERT_TRUE(Admin("/admin/script", R"({"nextResponse": {"status": 200, "body": ")" +
                                           std::string(4096, 'x') + R"("}})"));
    HttpLimits small;
    small.maxResponseBytes = 1000;
    auto large = Post("<x/>", small);
    EXPECT_EQ(large->Error().number, kHttpResponseTooLarge) << large->Error().description;
    EXPECT_EQ(large->ResponseText(), "");
}

}  // namespace
}  // namespace tovela::win32

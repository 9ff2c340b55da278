#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "backend/posix/SelfSigned.h"
#include "platform/posix/CurlUploadHttp.h"

namespace tovela::posix {
namespace {

using namespace std::chrono_literals;
using tovela::testing::SelfSigned;

class StringBody final : public UploadBody {
public:
    explicit StringBody(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::optional<std::size_t> Read(std::span<char> buffer) override {
        const std::size_t count = std::min(buffer.size(), bytes_.size() - read_);
        std::memcpy(buffer.data(), bytes_.data() + read_, count);
        read_ += count;
        return count;
    }
    std::size_t read_ = 0;

private:
    std::string bytes_;
};

// Takes one connection, keeps the request exactly as it came (head and Content-Length bytes
// of body) and answers with fixed bytes.
class CaptureServer {
public:
    explicit CaptureServer(std::string reply) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 1);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread_ = std::thread([this, reply = std::move(reply)] {
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, 10'000) != 1) return;
            const int client = accept(fd_, nullptr, nullptr);
            char buffer[65536];
            std::size_t wanted = std::string::npos;
            while (wanted == std::string::npos || request.size() < wanted) {
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<std::size_t>(n));
                const std::size_t end = request.find("\r\n\r\n");
                const std::size_t field = request.find("Content-Length: ");
                if (end != std::string::npos && field != std::string::npos && field < end)
                    wanted = end + 4 + std::strtoul(request.c_str() + field + 16, nullptr, 10);
            }
            send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            shutdown(client, SHUT_WR);
            pollfd reading{client, POLLIN, 0};
            while (poll(&reading, 1, 10'000) == 1 && recv(client, buffer, sizeof buffer, 0) > 0) {
            }
            close(client);
        });
    }
    ~CaptureServer() {
        thread_.join();
        close(fd_);
    }
    std::uint16_t port = 0;
    std::string request;

private:
    int fd_ = -1;
    std::thread thread_;
};

class CurlUploadHttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1", 1); }

    std::unique_ptr<UploadHttp> Open(std::uint16_t port, bool secure) {
        auto http = CreateCurlUploadHttpFactory({2000ms, 2000ms})->Create();
        EXPECT_TRUE(http->OpenSession("Tovela Notifier/6.1 (Windows)"));
        EXPECT_TRUE(http->Connect("127.0.0.1", port));
        EXPECT_TRUE(http->OpenRequest("POST", "/service/upload?fmt=raw", "HTTP/1.1", secure));
        return http;
    }
};

TEST_F(CurlUploadHttpTest, SendsExactlyTheCallersRequestAndReadsTheAnswer) {
    // Large enough that a library left to itself would ask for "100 Continue".
    std::string bytes(2'000'000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
    const std::string headers =
        "Accept-Language: en-us\r\nContent-Type: multipart/form-data; boundary=B\r\n"
        "User-Agent: TovelaNotifier/6.1.0 (Windows)\r\nHost: mail.example.test\r\n"
        "Content-Length: 2000000\r\nConnection: Close\r\nCookie: TV_TEST=true; "
        "TV_AUTH_TOKEN=t0k\r\n";
    const std::string answerHead =
        "HTTP/1.1 200 OK\r\nContent-Length: 16\r\nLocation: /service/upload?x\r\n\r\n";
    CaptureServer server(answerHead + "200,'1','abcdef'");

    StringBody body(bytes);
    auto http = Open(server.port, false);
    ASSERT_TRUE(http->SendRequest(headers, body)) << http->ErrorText(http->LastError());
    EXPECT_EQ(http->QueryInfo(wininet::kQueryStatusCode), "200");
    EXPECT_EQ(http->QueryInfo(wininet::kQueryStatusText), "OK");
    EXPECT_EQ(http->QueryInfo(wininet::kQueryRawHeadersCrlf), answerHead);
    EXPECT_EQ(http->QueryInfo(wininet::kQueryContentLength), "16");
    std::string answer;
    char buffer[5];
    while (const std::size_t n = http->ReadResponse(buffer).value_or(0)) answer.append(buffer, n);
    EXPECT_EQ(answer, "200,'1','abcdef'");
    http.reset();
    // The library writes Host first, as HTTP asks; everything else is the caller's, in order.
    const std::string host = "Host: mail.example.test\r\n";
    std::string others = headers;
    others.erase(others.find(host), host.size());
    EXPECT_TRUE(server.request ==
                "POST /service/upload?fmt=raw HTTP/1.1\r\n" + host + others + "\r\n" + bytes)
        << server.request.substr(0, 600);
}

TEST_F(CurlUploadHttpTest, SendsNothingToAServerWhoseCertificateIsNotVerified) {
    SelfSigned identity;
    httplib::SSLServer untrusted(identity.cert, identity.key);
    httplib::Server plain;
    const auto answer = [](const httplib::Request&, httplib::Response& r) {
        r.set_content("200,'1','abcdef'", "text/plain");
    };
    untrusted.Post("/service/upload", answer);
    plain.Post("/service/upload", answer);
    const int untrustedPort = untrusted.bind_to_any_port("127.0.0.1");
    const int plainPort = plain.bind_to_any_port("127.0.0.1");
    std::thread a([&] { untrusted.listen_after_bind(); });
    std::thread b([&] { plain.listen_after_bind(); });

    struct Case {
        const char* name;
        int port;
        std::uint32_t error;
        const char* text;
    };
    const Case cases[] = {
        {"UnknownAuthority", untrustedPort, wininet::kErrorInvalidCa,
         "The certificate authority is invalid or incorrect"},
        {"NoTlsOnThePort", plainPort, wininet::kErrorSecurityChannel,
         "An error occurred in the secure channel support"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringBody body("Cookie-bearing body");
        auto http = Open(static_cast<std::uint16_t>(c.port), true);
        EXPECT_FALSE(http->SendRequest("Cookie: TV_AUTH_TOKEN=secret\r\n", body));
        EXPECT_EQ(http->LastError(), c.error);
        EXPECT_EQ(http->ErrorText(c.error).rfind(c.text, 0), 0u) << http->ErrorText(c.error);
        EXPECT_EQ(body.read_, 0u) << "no byte of the body left";
    }
    while (!untrusted.is_running() || !plain.is_running()) std::this_thread::yield();
    untrusted.stop();
    plain.stop();
    a.join();
    b.join();
}

}  // namespace
}  // namespace tovela::posix

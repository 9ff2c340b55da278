#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "backend/posix/SelfSigned.h"
#include "platform/posix/CurlHttpRequest.h"

namespace tovela::posix {
namespace {

using namespace std::chrono_literals;
using tovela::testing::SelfSigned;

// An httplib server on a free loopback port, listening from construction to destruction.
class LoopbackServer {
public:
    explicit LoopbackServer(std::unique_ptr<httplib::Server> server = nullptr)
        : server_(server ? std::move(server) : std::make_unique<httplib::Server>()) {}
    ~LoopbackServer() {
        if (!thread_.joinable()) return;
        // stop() only takes effect once the loop runs.
        while (!server_->is_running()) std::this_thread::yield();
        server_->stop();
        thread_.join();
    }
    httplib::Server& operator*() { return *server_; }
    httplib::Server* operator->() { return server_.get(); }

    // Bound and listening on return, so a request cannot arrive too early.
    std::string Start(const std::string& scheme = "http") {
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

// Answers one connection with fixed bytes, for status lines and breakdowns that a
// well-behaved server library does not produce.
class RawServer {
public:
    explicit RawServer(std::string reply) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 1);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/service/soap";
        thread_ = std::thread([this, reply = std::move(reply)] {
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, 10'000) != 1) return;  // the client never came
            int client = accept(fd_, nullptr, nullptr);
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            // Closing with unread bytes would reset the connection under the client, so
            // say "no more" and wait for the client to hang up.
            shutdown(client, SHUT_WR);
            pollfd reading{client, POLLIN, 0};
            while (poll(&reading, 1, 10'000) == 1 && recv(client, buffer, sizeof buffer, 0) > 0) {
            }
            close(client);
        });
    }
    ~RawServer() {
        thread_.join();
        close(fd_);
    }
    std::string url;

private:
    int fd_ = -1;
    std::thread thread_;
};

// A loopback port that nobody listens on.
int UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

HttpLimits QuickLimits() {
    return {2'000ms, 5'000ms, 32u << 20};
}

struct Exchange {
    std::unique_ptr<HttpRequest> request;
    bool sent = false;
};

Exchange SendOnce(const HttpLimits& limits, std::string_view method, const std::string& url,
                  std::string_view body = {}, std::string_view host = {}) {
    Exchange exchange{CreateCurlHttpFactory(limits)->CreateRequest()};
    exchange.request->Open(method, url);
    if (!host.empty()) exchange.request->SetRequestHeader("Host", host);
    exchange.sent = exchange.request->Send(body);
    return exchange;
}

class CurlHttpRequestTest : public ::testing::Test {
protected:
    // Loopback requests must not go to a proxy that the environment names.
    static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1", 1); }
};

TEST_F(CurlHttpRequestTest, SendsTheRequestAsTheServerExpectsIt) {
    // Long enough (over 1 MiB) that the library would otherwise ask for "100 Continue".
    std::string envelope = "<soap:Envelope xmlns:soap=\"x\">";
    while (envelope.size() <= (1u << 20)) envelope += "件名：会議の予定 ";
    struct Case {
        const char* name;
        const char* method;
        std::string body;
        const char* contentType;
    } cases[] = {
        {"probe", "OPTIONS", "", ""},
        {"envelope", "POST", envelope, "text/plain;charset=UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        httplib::Request seen;
        LoopbackServer server;
        auto record = [&](const httplib::Request& request, httplib::Response&) { seen = request; };
        server->Options("/service/soap", record);
        server->Post("/service/soap", record);
        std::string url = server.Start() + "/service/soap";

        Exchange exchange = SendOnce(QuickLimits(), c.method, url, c.body, "mail.example.jp:8080");
        EXPECT_TRUE(exchange.sent) << exchange.request->Error().description;
        EXPECT_EQ(seen.method, c.method);
        EXPECT_EQ(seen.path, "/service/soap");
        EXPECT_EQ(seen.get_header_value("Host"), "mail.example.jp:8080");
        EXPECT_EQ(seen.get_header_value("Content-Type"), c.contentType);
        EXPECT_FALSE(seen.has_header("Expect"));
        EXPECT_EQ(seen.body, c.body);
    }
}

TEST_F(CurlHttpRequestTest, GivesBackStatusStatusTextAndBody) {
    auto reply = [](std::string statusLine, std::string body) {
        return statusLine + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
               body;
    };
    struct Case {
        const char* name;
        std::string reply;
        int status;
        const char* statusText;
        std::string body;
    } cases[] = {
        {"envelope", reply("HTTP/1.1 200 OK", "<soap:Envelope>受信</soap:Envelope>"), 200, "OK",
         "<soap:Envelope>受信</soap:Envelope>"},
        {"own reason phrase", reply("HTTP/1.1 405 Not Here", ""), 405, "Not Here", ""},
        {"no reason phrase", reply("HTTP/1.1 503", "busy"), 503, "Service Unavailable", "busy"},
        {"body until close", "HTTP/1.0 500 Internal Error\r\n\r\n<html>error</html>", 500,
         "Internal Error", "<html>error</html>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.reply);
        Exchange exchange = SendOnce(QuickLimits(), "POST", server.url, "x");
        EXPECT_TRUE(exchange.sent) << exchange.request->Error().description;
        EXPECT_EQ(exchange.request->Status(), c.status);
        EXPECT_EQ(exchange.request->StatusText(), c.statusText);
        EXPECT_EQ(exchange.request->ResponseText(), c.body);
    }
}

TEST_F(CurlHttpRequestTest, NumbersTransportFailuresAsThePlatformDoes) {
    RawServer truncated("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part");
    Exchange refused =
        SendOnce(QuickLimits(), "OPTIONS",
                 "http://127.0.0.1:" + std::to_string(UnusedPort()) + "/service/soap");
    Exchange cut = SendOnce(QuickLimits(), "POST", truncated.url, "x");
    Exchange badUrl = SendOnce(QuickLimits(), "POST", "http://bad host/service/soap", "x");

    EXPECT_FALSE(refused.sent);
    EXPECT_EQ(refused.request->Error().number, kInetResourceNotFound);
    EXPECT_EQ(refused.request->Error().lastDllError, static_cast<std::uint32_t>(ECONNREFUSED));
    EXPECT_FALSE(refused.request->Error().description.empty());
    EXPECT_EQ(refused.request->Status(), 0);

    EXPECT_FALSE(cut.sent);
    EXPECT_EQ(cut.request->Error().number, kInetDownloadFailure);
    EXPECT_EQ(cut.request->ResponseText(), "");

    EXPECT_FALSE(badUrl.sent);
    EXPECT_EQ(badUrl.request->Error().number, kHttpInvalidUrl);
}

TEST_F(CurlHttpRequestTest, GivesUpAtTheTimeLimit) {
    std::mutex mutex;
    std::condition_variable released;
    bool done = false;
    LoopbackServer server;
    server->Post("/service/soap", [&](const httplib::Request&, httplib::Response&) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return done; });
    });
    std::string url = server.Start() + "/service/soap";

    Exchange exchange = SendOnce({2'000ms, 200ms, 1024}, "POST", url, "x");
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    released.notify_all();

    EXPECT_FALSE(exchange.sent);
    EXPECT_EQ(exchange.request->Error().number, kHttpTimedOut);
}

TEST_F(CurlHttpRequestTest, RefusesAnswersOverTheSizeLimit) {
    constexpr std::size_t kLimit = 1000;
    struct Case {
        const char* name;
        std::size_t size;
        bool chunked;
        bool accepted;
    } cases[] = {
        {"exactly the limit", kLimit, false, true},
        {"announced over the limit", kLimit + 1, false, false},
        {"chunked over the limit", kLimit + 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        server->Post("/big", [&](const httplib::Request&, httplib::Response& response) {
            if (!c.chunked) return response.set_content(std::string(c.size, 'a'), "text/xml");
            response.set_chunked_content_provider("text/xml", [&](size_t, httplib::DataSink& sink) {
                std::string half(c.size / 2 + 1, 'a');
                sink.write(half.data(), half.size());
                sink.write(half.data(), half.size());
                sink.done();
                return true;
            });
        });
        std::string url = server.Start() + "/big";

        Exchange exchange = SendOnce({2'000ms, 5'000ms, kLimit}, "POST", url, "x");
        EXPECT_EQ(exchange.sent, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(exchange.request->ResponseText().size(), c.size);
        } else {
            EXPECT_EQ(exchange.request->Error().number, kHttpResponseTooLarge);
            EXPECT_NE(exchange.request->Error().description.find("1000 bytes"), std::string::npos);
            EXPECT_EQ(exchange.request->ResponseText(), "");
        }
    }
}

TEST_F(CurlHttpRequestTest, RefusesConnectionsThatAreNotProperlySecure) {
    SelfSigned identity;
    LoopbackServer untrusted(std::make_unique<httplib::SSLServer>(identity.cert, identity.key));
    LoopbackServer plain;
    auto answer = [](const httplib::Request&, httplib::Response& r) {
        r.set_content("ok", "text/plain");
    };
    untrusted->Options("/service/soap", answer);
    plain->Options("/service/soap", answer);
    std::string untrustedUrl = untrusted.Start("https") + "/service/soap";
    std::string plainAsSecure = plain.Start("https") + "/service/soap";

    Exchange certificate = SendOnce(QuickLimits(), "OPTIONS", untrustedUrl);
    Exchange handshake = SendOnce(QuickLimits(), "OPTIONS", plainAsSecure);

    EXPECT_FALSE(certificate.sent);
    EXPECT_EQ(certificate.request->Error().number, kInetInvalidCertificate);
    EXPECT_FALSE(handshake.sent);
    EXPECT_EQ(handshake.request->Error().number, kInetDownloadFailure);
}

}  // namespace
}  // namespace tovela::posix

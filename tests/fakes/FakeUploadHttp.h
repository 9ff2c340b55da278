#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "platform/UploadHttp.h"

namespace tovela::testing {

// An upload service in memory: answers requests from a script, in order, and records each
// request as it would go over the wire.
class FakeUploadHttp final : public UploadHttpFactory {
public:
    struct Answer {
        int status = 200;
        std::string statusText = "OK";
        std::string extraHeaders;  // header lines after the status line, each ending CR LF
        std::string body;
        std::uint32_t sendError = 0;  // SendRequest fails with this number
        bool noSession = false;
        bool noConnection = false;
        bool noRequest = false;
    };
    struct Exchange {
        std::string agent;
        std::string server;
        std::uint16_t port = 0;
        std::string verb;
        std::string object;
        std::string version;
        bool secure = false;
        std::string headers;
        std::string body;
        bool sent = false;
    };

    std::unique_ptr<UploadHttp> Create() override { return std::make_unique<Request>(*this); }

    static Answer Ok(std::string body) {
        Answer answer;
        answer.body = std::move(body);
        return answer;
    }

    std::deque<Answer> script;
    std::vector<Exchange> exchanges;
    std::size_t readSize = 1000;  // bytes the client pulls from the body at a time

private:
    class Request final : public UploadHttp {
    public:
        // Each request takes the next answer; without one it cannot connect.
        explicit Request(FakeUploadHttp& owner) : owner_(owner) {
            if (owner.script.empty()) {
                answer_.sendError = 12029;
            } else {
                answer_ = owner.script.front();
                owner.script.pop_front();
            }
        }
        bool OpenSession(const std::string& agent) override {
            if (answer_.noSession) return Fail(12001);
            owner_.exchanges.emplace_back();
            owner_.exchanges.back().agent = agent;
            index_ = owner_.exchanges.size() - 1;
            return true;
        }
        bool Connect(const std::string& server, std::uint16_t port) override {
            if (answer_.noConnection) return Fail(12029);
            Current().server = server;
            Current().port = port;
            return true;
        }
        bool OpenRequest(const std::string& verb, const std::string& object,
                         const std::string& version, bool secure) override {
            if (answer_.noRequest) return Fail(12005);
            Current().verb = verb;
            Current().object = object;
            Current().version = version;
            Current().secure = secure;
            return true;
        }
        bool SendRequest(const std::string& headers, UploadBody& body) override {
            Current().headers = headers;
            Current().sent = true;
            std::string chunk(owner_.readSize, '\0');
            for (;;) {
                const std::optional<std::size_t> read = body.Read(chunk);
                if (!read) return Fail(12017);
                if (*read == 0) break;
                Current().body.append(chunk.data(), *read);
            }
            if (answer_.sendError != 0) return Fail(answer_.sendError);
            raw_ = "HTTP/1.1 " + std::to_string(answer_.status) + " " + answer_.statusText +
                   "\r\n" + answer_.extraHeaders + "\r\n";
            answered_ = true;
            return true;
        }
        std::optional<std::string> QueryInfo(std::uint32_t level) override {
            if (!answered_) return std::nullopt;
            if (level == wininet::kQueryStatusCode) return std::to_string(answer_.status);
            if (level == wininet::kQueryStatusText) return answer_.statusText;
            if (level == wininet::kQueryRawHeadersCrlf) return raw_;
            return std::nullopt;
        }
        std::optional<std::size_t> ReadResponse(std::span<char> buffer) override {
            const std::size_t count = std::min(buffer.size(), answer_.body.size() - read_);
            std::copy_n(answer_.body.data() + read_, count, buffer.data());
            read_ += count;
            return count;
        }
        void Disconnect() override {}
        std::uint32_t LastError() override { return lastError_; }
        std::string ErrorText(std::uint32_t code) override {
            return "text of " + std::to_string(code);
        }

    private:
        Exchange& Current() { return owner_.exchanges[index_]; }
        bool Fail(std::uint32_t code) {
            lastError_ = code;
            return false;
        }

        FakeUploadHttp& owner_;
        Answer answer_;
        std::size_t index_ = 0;
        bool answered_ = false;
        std::string raw_;
        std::size_t read_ = 0;
        std::uint32_t lastError_ = 0;
    };
};

}  // namespace tovela::testing

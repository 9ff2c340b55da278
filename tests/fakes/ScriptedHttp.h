#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/HttpRequest.h"

namespace tovela::testing {

// One request as the program sent it.
struct HttpCall {
    std::string method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool sent = false;
};

// One answer of the script: a response, or a transport failure when error.number is set.
struct HttpReply {
    HttpReply(int code = 200, std::string reason = "OK", std::string content = {})
        : status(code), statusText(std::move(reason)), body(std::move(content)) {}

    int status;
    std::string statusText;
    std::string body;
    HttpError error;
    // Runs while the program waits for this answer (the user or the system acting then).
    std::function<void()> during;

    static HttpReply Failure(std::uint32_t number, std::string description,
                             std::uint32_t lastDllError = 0) {
        HttpReply reply;
        reply.error = {number, std::move(description), lastDllError};
        return reply;
    }
};

// An HTTP service that answers requests from a script, in order, and records every call
// (open, headers, send) for the test to inspect. A request beyond the script fails the test.
class ScriptedHttp final : public HttpFactory {
public:
    std::unique_ptr<HttpRequest> CreateRequest() override {
        ++requestsCreated;
        return std::make_unique<Request>(*this);
    }

    std::deque<HttpReply> script;
    std::vector<HttpCall> calls;
    int requestsCreated = 0;

private:
    class Request final : public HttpRequest {
    public:
        explicit Request(ScriptedHttp& owner) : owner_(owner) {}
        void Open(std::string_view method, std::string_view url) override {
            owner_.calls.push_back({std::string(method), std::string(url), {}, {}, false});
            call_ = owner_.calls.size() - 1;
            reply_ = {};
        }
        void SetRequestHeader(std::string_view name, std::string_view value) override {
            if (!Opened()) return;
            owner_.calls[call_].headers.emplace_back(name, value);
        }
        bool Send(std::string_view body) override {
            if (!Opened()) return false;
            HttpCall& call = owner_.calls[call_];
            call.body = body;
            call.sent = true;
            if (owner_.script.empty()) {
                ADD_FAILURE() << "unscripted " << call.method << " " << call.url;
                reply_ = HttpReply::Failure(0x80004005, "unscripted request");
            } else {
                reply_ = std::move(owner_.script.front());
                owner_.script.pop_front();
            }
            if (reply_.during) reply_.during();
            return reply_.error.number == 0;
        }
        const HttpError& Error() const override { return reply_.error; }
        int Status() const override { return reply_.error.number ? 0 : reply_.status; }
        std::string StatusText() const override {
            return reply_.error.number ? std::string() : reply_.statusText;
        }
        std::string ResponseText() const override {
            return reply_.error.number ? std::string() : reply_.body;
        }

    private:
        bool Opened() const {
            if (call_ < owner_.calls.size()) return true;
            ADD_FAILURE() << "request used before Open";
            return false;
        }
        ScriptedHttp& owner_;
        std::size_t call_ = static_cast<std::size_t>(-1);
        HttpReply reply_;
    };
};

}  // namespace tovela::testing

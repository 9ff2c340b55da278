#include "platform/posix/CurlHttpRequest.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/Factories.h"

namespace tovela::posix {
namespace {

// Used when the status line has no reason phrase, as in HTTP/2.
const char* StandardReason(long status) {
    static constexpr std::pair<long, const char*> kReasons[] = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {203, "Non-Authoritative Information"},
        {204, "No Content"},
        {205, "Reset Content"},
        {206, "Partial Content"},
        {300, "Multiple Choices"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {421, "Misdirected Request"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"}};
    for (const auto& [code, text] : kReasons)
        if (code == status) return text;
    return "";
}

std::uint32_t ErrorNumber(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return kInetResourceNotFound;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_BAD_CONTENT_ENCODING:
        // The handshake failed before any certificate was judged; most often the port
        // does not speak TLS, which the secure-connection hint of the message covers.
        case CURLE_SSL_CONNECT_ERROR:
            return kInetDownloadFailure;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return kInetInvalidCertificate;
        case CURLE_OPERATION_TIMEDOUT:
            return kHttpTimedOut;
        case CURLE_FILESIZE_EXCEEDED:
            return kHttpResponseTooLarge;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kHttpInvalidUrl;
        default:
            return kHttpFailed;
    }
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

bool SameHeaderName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

class CurlHttpRequest final : public HttpRequest {
public:
    explicit CurlHttpRequest(const HttpLimits& limits) : limits_(limits) {}
    ~CurlHttpRequest() override { Reset(); }
    CurlHttpRequest(const CurlHttpRequest&) = delete;
    CurlHttpRequest& operator=(const CurlHttpRequest&) = delete;

    void Open(std::string_view method, std::string_view url) override {
        Reset();
        method_ = method;
        url_ = url;
        opened_ = true;
    }

    void SetRequestHeader(std::string_view name, std::string_view value) override {
        // A line break would smuggle a header of its own into the request.
        if (name.empty() || HasLineBreak(name) || HasLineBreak(value)) return;
        headers_.emplace_back(name, value);
    }

    bool Send(std::string_view body) override {
        ClearResponse();
        if (!opened_) return Fail(kHttpFailed, "The request was sent before it was opened.");
        easy_ = curl_easy_init();
        if (easy_ == nullptr) return Fail(kHttpFailed, "The HTTP library could not start.");
        Configure(body);
        CURLcode code = curl_easy_perform(easy_);
        long status = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK) return FailFromCurl(code);
        status_ = static_cast<int>(status);
        if (statusText_.empty()) statusText_ = StandardReason(status);
        return true;
    }

    const HttpError& Error() const override { return error_; }
    int Status() const override { return status_; }
    std::string StatusText() const override { return statusText_; }
    std::string ResponseText() const override { return body_; }

private:
    void Configure(std::string_view body) {
        errorBuffer_[0] = '\0';
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
        curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 1L);
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, "TovelaNotifier");
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        // Follow redirects as the platform's request object does, but never from a secure
        // connection down to a plain one.
        const bool secure = url_.rfind("https:", 0) == 0;
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(limits_.connectTimeout.count()));
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(limits_.totalTimeout.count()));
        curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(limits_.maxResponseBytes));
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlHttpRequest::OnBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlHttpRequest::OnHeader);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);

        bool callerSetType = false;
        for (const auto& [name, value] : headers_) {
            list_ = curl_slist_append(list_, (name + ": " + value).c_str());
            callerSetType = callerSetType || SameHeaderName(name, "Content-Type");
        }
        const bool post = method_ == "POST";
        if (post || !body.empty()) {
            // A text body goes out as the platform's request object sends a string: UTF-8
            // with this type, never form-encoded, and without waiting for "100 Continue".
            if (!callerSetType)
                list_ = curl_slist_append(list_, "Content-Type: text/plain;charset=UTF-8");
            list_ = curl_slist_append(list_, "Expect:");
            curl_easy_setopt(easy_, CURLOPT_POST, 1L);
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size()));
        } else {
            curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
        }
        if (method_ != "GET" && method_ != "POST")
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method_.c_str());
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, list_);
    }

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto& request = *static_cast<CurlHttpRequest*>(self);
        const std::size_t bytes = size * count;
        // An answer without a length is only known to be too large as it arrives.
        if (request.body_.size() + bytes > request.limits_.maxResponseBytes) {
            request.tooLarge_ = true;
            return 0;
        }
        request.body_.append(data, bytes);
        return bytes;
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto& request = *static_cast<CurlHttpRequest*>(self);
        const std::size_t bytes = size * count;
        std::string_view line(data, bytes);
        // Every response (an interim one, each redirect) starts with its status line; the
        // last one wins.
        if (line.rfind("HTTP/", 0) == 0) {
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.remove_suffix(1);
            std::size_t codeStart = line.find(' ');
            std::size_t reasonStart =
                codeStart == line.npos ? line.npos : line.find(' ', codeStart + 1);
            request.statusText_ = reasonStart == line.npos
                                      ? std::string()
                                      : std::string(line.substr(reasonStart + 1));
            request.body_.clear();
        }
        return bytes;
    }

    bool FailFromCurl(CURLcode code) {
        long osError = 0;
        curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osError);
        body_.clear();
        statusText_.clear();
        if (tooLarge_ || code == CURLE_FILESIZE_EXCEEDED) {
            return Fail(kHttpResponseTooLarge, "The server's answer is larger than " +
                                                   std::to_string(limits_.maxResponseBytes) +
                                                   " bytes.");
        }
        std::string text = errorBuffer_[0] != '\0' ? errorBuffer_ : curl_easy_strerror(code);
        return Fail(ErrorNumber(code), std::move(text), static_cast<std::uint32_t>(osError));
    }

    bool Fail(std::uint32_t number, std::string description, std::uint32_t lastDllError = 0) {
        error_ = {number, std::move(description), lastDllError};
        return false;
    }

    void ClearResponse() {
        if (list_ != nullptr) curl_slist_free_all(list_);
        list_ = nullptr;
        if (easy_ != nullptr) curl_easy_cleanup(easy_);
        easy_ = nullptr;
        error_ = {};
        status_ = 0;
        statusText_.clear();
        body_.clear();
        tooLarge_ = false;
    }

    void Reset() {
        ClearResponse();
        headers_.clear();
        opened_ = false;
    }

    HttpLimits limits_;
    std::string method_;
    std::string url_;
    std::vector<std::pair<std::string, std::string>> headers_;
    bool opened_ = false;

    CURL* easy_ = nullptr;
    curl_slist* list_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    bool tooLarge_ = false;

    HttpError error_;
    int status_ = 0;
    std::string statusText_;
    std::string body_;
};

class CurlHttpFactory final : public HttpFactory {
public:
    explicit CurlHttpFactory(const HttpLimits& limits) : limits_(limits) {}
    std::unique_ptr<HttpRequest> CreateRequest() override {
        return std::make_unique<CurlHttpRequest>(limits_);
    }

private:
    HttpLimits limits_;
};

}  // namespace

std::unique_ptr<HttpFactory> CreateCurlHttpFactory(const HttpLimits& limits) {
    // Once per process, before any handle exists; the library stays up until exit.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return std::make_unique<CurlHttpFactory>(limits);
}

std::unique_ptr<HttpFactory> CreateHttpFactory() {
    return CreateCurlHttpFactory(HttpLimits{});
}

}  // namespace tovela::posix

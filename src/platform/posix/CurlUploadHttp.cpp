#include "platform/posix/CurlUploadHttp.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "submit/UploadText.h"

namespace tovela::posix {
namespace {

// A larger answer is cut here; the service answers with one short line.
constexpr std::size_t kMaxAnswer = 4u << 20;
constexpr long kUploadBuffer = 512 * 1024;

// OpenSSL's verification results that have numbers of their own in WinInet.
constexpr long kX509CertNotYetValid = 9;
constexpr long kX509CertHasExpired = 10;
constexpr long kX509CertRevoked = 23;
constexpr long kX509HostnameMismatch = 62;

std::string WinInetText(std::uint32_t code) {
    switch (code) {
        case wininet::kErrorTimeout:
            return "The operation timed out";
        case wininet::kErrorInvalidUrl:
            return "The URL is invalid.";
        case wininet::kErrorNameNotResolved:
            return "The server name or address could not be resolved";
        case wininet::kErrorOperationCancelled:
            return "The operation was canceled.";
        case wininet::kErrorCannotConnect:
            return "A connection with the server could not be established";
        case wininet::kErrorConnectionAborted:
            return "The connection with the server was terminated abnormally";
        case wininet::kErrorConnectionReset:
            return "The connection with the server was reset";
        case wininet::kErrorCertDateInvalid:
            return "The date in the certificate is invalid or has expired";
        case wininet::kErrorCertNameInvalid:
            return "The host name in the certificate is invalid or does not match";
        case wininet::kErrorInvalidCa:
            return "The certificate authority is invalid or incorrect";
        case wininet::kErrorCertErrors:
            return "The server certificate is invalid.";
        case wininet::kErrorInvalidServerResponse:
            return "The server response could not be parsed";
        case wininet::kErrorSecurityChannel:
            return "An error occurred in the secure channel support";
        case wininet::kErrorCertRevoked:
            return "The certificate has been revoked.";
        default:
            return "An internal error occurred";
    }
}

class CurlUploadHttp final : public UploadHttp {
public:
    explicit CurlUploadHttp(const UploadLimits& limits) : limits_(limits) {}
    ~CurlUploadHttp() override {
        Disconnect();
        if (easy_) curl_easy_cleanup(easy_);
    }
    CurlUploadHttp(const CurlUploadHttp&) = delete;
    CurlUploadHttp& operator=(const CurlUploadHttp&) = delete;

    // The agent of the session is not sent: the caller's header block names the program.
    bool OpenSession(const std::string&) override {
        easy_ = curl_easy_init();
        return easy_ != nullptr || Fail(wininet::kErrorInternal);
    }

    bool Connect(const std::string& server, std::uint16_t port) override {
        if (!easy_) return Fail(wininet::kErrorInternal);
        server_ = server;
        port_ = port;
        connected_ = true;
        return true;
    }

    bool OpenRequest(const std::string& verb, const std::string& object, const std::string&,
                     bool secure) override {
        if (!connected_) return Fail(wininet::kErrorInternal);
        verb_ = verb;
        object_ = object;
        secure_ = secure;
        requestOpen_ = true;
        return true;
    }

    bool SendRequest(const std::string& headers, UploadBody& body) override {
        if (!requestOpen_) return Fail(wininet::kErrorInternal);
        ClearAnswer();
        body_ = &body;
        curl_slist* list = nullptr;
        std::size_t start = 0;
        while (start < headers.size()) {
            std::size_t end = headers.find("\r\n", start);
            if (end == headers.npos) end = headers.size();
            if (end > start)
                list = curl_slist_append(list, headers.substr(start, end - start).c_str());
            start = end + 2;
        }
        // Exactly the caller's headers: none of the library's own.
        list = curl_slist_append(list, "Expect:");
        list = curl_slist_append(list, "Accept:");
        Configure(list, body.Size());
        moved_ = 0;
        lastMove_ = std::chrono::steady_clock::now();
        const CURLcode code = curl_easy_perform(easy_);
        curl_slist_free_all(list);
        body_ = nullptr;
        if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && truncated_)) return true;
        return FailFromCurl(code);
    }

    std::optional<std::string> QueryInfo(std::uint32_t level) override {
        if (status_ == 0) return std::nullopt;
        switch (level) {
            case wininet::kQueryStatusCode:
                return std::to_string(status_);
            case wininet::kQueryStatusText:
                return statusText_;
            case wininet::kQueryRawHeadersCrlf:
                return rawHeaders_;
            case wininet::kQueryContentLength: {
                std::string length = GetHeaderValue(rawHeaders_, "Content-Length");
                if (length.empty()) return std::nullopt;
                return length;
            }
            default:
                return std::nullopt;
        }
    }

    std::optional<std::size_t> ReadResponse(std::span<char> buffer) override {
        const std::size_t count = std::min(buffer.size(), answer_.size() - readOffset_);
        std::memcpy(buffer.data(), answer_.data() + readOffset_, count);
        readOffset_ += count;
        return count;
    }

    void Disconnect() override {
        requestOpen_ = false;
        connected_ = false;
    }

    std::uint32_t LastError() override { return lastError_; }

    std::string ErrorText(std::uint32_t code) override {
        std::string text = WinInetText(code);
        if (code == lastError_ && !detail_.empty()) text += " (" + detail_ + ")";
        return text;
    }

private:
    void Configure(curl_slist* list, std::uint64_t size) {
        errorBuffer_[0] = '\0';
        const std::string url =
            (secure_ ? "https://" : "http://") + server_ + ":" + std::to_string(port_) + object_;
        curl_easy_reset(easy_);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
        curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(limits_.connectTimeout.count()));
        // The library's own low-speed limit averages over seconds of history; a stall is
        // told precisely by watching the byte counts.
        curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlUploadHttp::OnProgress);
        curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBuffer);
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, list);
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlUploadHttp::OnHeader);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlUploadHttp::OnAnswer);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        if (verb_ == "POST") {
            curl_easy_setopt(easy_, CURLOPT_POST, 1L);
            curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &CurlUploadHttp::OnBody);
            curl_easy_setopt(easy_, CURLOPT_READDATA, this);
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        } else {
            curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
        }
    }

    static std::size_t OnBody(char* buffer, std::size_t size, std::size_t count, void* self) {
        auto& http = *static_cast<CurlUploadHttp*>(self);
        const std::optional<std::size_t> read = http.body_->Read(std::span(buffer, size * count));
        if (read) return *read;
        http.bodyFailed_ = true;
        return CURL_READFUNC_ABORT;
    }

    static int OnProgress(void* self, curl_off_t, curl_off_t received, curl_off_t,
                          curl_off_t sent) {
        auto& http = *static_cast<CurlUploadHttp*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (received + sent != http.moved_) {
            http.moved_ = received + sent;
            http.lastMove_ = now;
        } else if (now - http.lastMove_ >= http.limits_.stallTimeout) {
            http.stalled_ = true;
            return 1;
        }
        return 0;
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto& http = *static_cast<CurlUploadHttp*>(self);
        const std::string_view line(data, size * count);
        // Each answer (an interim "100 Continue" among them) starts with its status line.
        if (line.starts_with("HTTP/")) {
            http.rawHeaders_.clear();
            http.answer_.clear();
            std::string_view status = line.substr(0, line.find_first_of("\r\n"));
            const std::size_t codeStart = status.find(' ');
            const std::size_t textStart =
                codeStart == status.npos ? status.npos : status.find(' ', codeStart + 1);
            http.status_ = codeStart == status.npos
                               ? 0
                               : std::atoi(std::string(status.substr(codeStart + 1, 3)).c_str());
            http.statusText_ = textStart == status.npos ? std::string()
                                                        : std::string(status.substr(textStart + 1));
        }
        http.rawHeaders_.append(line);
        return line.size();
    }

    static std::size_t OnAnswer(char* data, std::size_t size, std::size_t count, void* self) {
        auto& http = *static_cast<CurlUploadHttp*>(self);
        const std::size_t bytes = size * count;
        if (http.answer_.size() + bytes > kMaxAnswer) {
            http.answer_.append(data, kMaxAnswer - http.answer_.size());
            http.truncated_ = true;
            return 0;
        }
        http.answer_.append(data, bytes);
        return bytes;
    }

    bool FailFromCurl(CURLcode code) {
        long osError = 0;
        curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osError);
        long verifyResult = 0;
        curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        detail_ = errorBuffer_[0] != '\0' ? errorBuffer_ : curl_easy_strerror(code);
        if (stalled_) {
            detail_ = "nothing was sent or received for " +
                      std::to_string(limits_.stallTimeout.count() / 1000) + " s";
        }
        status_ = 0;
        switch (code) {
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return Fail(wininet::kErrorNameNotResolved);
            case CURLE_COULDNT_CONNECT:
                return Fail(wininet::kErrorCannotConnect);
            case CURLE_OPERATION_TIMEDOUT:
                return Fail(wininet::kErrorTimeout);
            case CURLE_PEER_FAILED_VERIFICATION:
                switch (verifyResult) {
                    case kX509CertNotYetValid:
                    case kX509CertHasExpired:
                        return Fail(wininet::kErrorCertDateInvalid);
                    case kX509CertRevoked:
                        return Fail(wininet::kErrorCertRevoked);
                    case kX509HostnameMismatch:
                    case 0:  // the library's own check of the name failed
                        return Fail(wininet::kErrorCertNameInvalid);
                    default:
                        return Fail(wininet::kErrorInvalidCa);
                }
            case CURLE_SSL_CACERT_BADFILE:
            case CURLE_SSL_ISSUER_ERROR:
                return Fail(wininet::kErrorInvalidCa);
            case CURLE_SSL_CERTPROBLEM:
            case CURLE_SSL_INVALIDCERTSTATUS:
            case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
                return Fail(wininet::kErrorCertErrors);
            case CURLE_SSL_CONNECT_ERROR:
                return Fail(wininet::kErrorSecurityChannel);
            case CURLE_SEND_ERROR:
            case CURLE_RECV_ERROR:
                return Fail(osError == ECONNRESET ? wininet::kErrorConnectionReset
                                                  : wininet::kErrorConnectionAborted);
            case CURLE_GOT_NOTHING:
            case CURLE_WEIRD_SERVER_REPLY:
            case CURLE_PARTIAL_FILE:
                return Fail(wininet::kErrorInvalidServerResponse);
            case CURLE_URL_MALFORMAT:
            case CURLE_UNSUPPORTED_PROTOCOL:
                return Fail(wininet::kErrorInvalidUrl);
            case CURLE_ABORTED_BY_CALLBACK:
            case CURLE_READ_ERROR:
                return Fail(stalled_ && !bodyFailed_ ? wininet::kErrorTimeout
                                                     : wininet::kErrorOperationCancelled);
            default:
                return Fail(bodyFailed_ ? wininet::kErrorOperationCancelled
                                        : wininet::kErrorInternal);
        }
    }

    bool Fail(std::uint32_t code) {
        lastError_ = code;
        return false;
    }

    void ClearAnswer() {
        status_ = 0;
        statusText_.clear();
        rawHeaders_.clear();
        answer_.clear();
        readOffset_ = 0;
        truncated_ = false;
        bodyFailed_ = false;
        stalled_ = false;
        detail_.clear();
    }

    UploadLimits limits_;
    CURL* easy_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::string server_;
    std::uint16_t port_ = 0;
    std::string verb_;
    std::string object_;
    bool secure_ = false;
    bool connected_ = false;
    bool requestOpen_ = false;

    UploadBody* body_ = nullptr;
    bool bodyFailed_ = false;
    int status_ = 0;
    std::string statusText_;
    std::string rawHeaders_;
    std::string answer_;
    std::size_t readOffset_ = 0;
    bool truncated_ = false;
    bool stalled_ = false;
    curl_off_t moved_ = 0;
    std::chrono::steady_clock::time_point lastMove_;
    std::uint32_t lastError_ = 0;
    std::string detail_;
};

class CurlUploadHttpFactory final : public UploadHttpFactory {
public:
    explicit CurlUploadHttpFactory(const UploadLimits& limits) : limits_(limits) {}
    std::unique_ptr<UploadHttp> Create() override {
        return std::make_unique<CurlUploadHttp>(limits_);
    }

private:
    UploadLimits limits_;
};

}  // namespace

std::unique_ptr<UploadHttpFactory> CreateCurlUploadHttpFactory(const UploadLimits& limits) {
    // Once per process, before any handle exists; the library stays up until exit.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return std::make_unique<CurlUploadHttpFactory>(limits);
}

}  // namespace tovela::posix

#include "platform/win32/WinHttpRequest.h"

// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include <wchar.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Factories.h"
#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

constexpr const wchar_t* kUserAgent = L"TovelaNotifier";

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::uint32_t HresultFromWin32(DWORD code) {
    return code == 0 ? 0u : (0x80070000u | (code & 0xFFFFu));
}

// WinHTTP's messages live in its own module, not in the system's table.
std::string WinHttpMessage(DWORD code) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  GetModuleHandleW(L"winhttp.dll"), code, 0, buffer, 512, nullptr);
    if (length == 0) {
        length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, 512, nullptr);
    }
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n')) --length;
    if (length == 0) return "WinHTTP error " + std::to_string(code);
    return Narrow(std::wstring_view(buffer, length));
}

// secureFlags: what the secure-failure notification said about the certificate.
std::uint32_t ErrorNumber(DWORD code, DWORD secureFlags) {
    constexpr DWORD kCertificateFlags =
        ~static_cast<DWORD>(WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR);
    switch (code) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return kInetResourceNotFound;
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        case ERROR_WINHTTP_RESEND_REQUEST:
        // The handshake failed before any certificate was judged; most often the port does
        // not speak TLS, which the secure-connection hint of the message covers.
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
            return kInetDownloadFailure;
        case ERROR_WINHTTP_SECURE_FAILURE:
            if (secureFlags != 0 && (secureFlags & kCertificateFlags) == 0)
                return kInetDownloadFailure;
            return kInetInvalidCertificate;
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return kInetInvalidCertificate;
        default:
            return HresultFromWin32(code);
    }
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

// The system's automatic proxy where it exists (Windows 8.1 and later); before that the
// proxy the user set in the Internet options. A configuration script is not evaluated there.
Handle OpenSession() {
    if (HINTERNET session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0))
        return Handle(session);
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie = {};
    HINTERNET session = nullptr;
    if (WinHttpGetIEProxyConfigForCurrentUser(&ie) && ie.lpszProxy != nullptr) {
        session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, ie.lpszProxy,
                              ie.lpszProxyBypass ? ie.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, 0);
    } else {
        session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (ie.lpszAutoConfigUrl) GlobalFree(ie.lpszAutoConfigUrl);
    if (ie.lpszProxy) GlobalFree(ie.lpszProxy);
    if (ie.lpszProxyBypass) GlobalFree(ie.lpszProxyBypass);
    return Handle(session);
}

// A part of a cracked URL; an absent part has no pointer.
std::wstring Piece(const wchar_t* start, DWORD length) {
    return start ? std::wstring(start, length) : std::wstring();
}

int ClampMs(std::chrono::milliseconds ms) {
    return static_cast<int>(std::min<long long>(ms.count(), 0x7FFFFFFF));
}

class WinHttpRequest final : public HttpRequest {
public:
    explicit WinHttpRequest(const HttpLimits& limits) : limits_(limits) {}

    void Open(std::string_view method, std::string_view url) override {
        method_ = Wide(method);
        url_ = Wide(url);
        headers_.clear();
        opened_ = true;
        ClearResponse();
    }

    void SetRequestHeader(std::string_view name, std::string_view value) override {
        // A line break would smuggle a header of its own into the request.
        if (name.empty() || HasLineBreak(name) || HasLineBreak(value)) return;
        headers_.push_back(Wide(name) + L": " + Wide(value));
    }

    bool Send(std::string_view body) override {
        ClearResponse();
        if (!opened_) return Fail(ERROR_INVALID_HANDLE);
        const ULONGLONG deadline =
            GetTickCount64() + static_cast<ULONGLONG>(limits_.totalTimeout.count());

        URL_COMPONENTS parts = {};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = static_cast<DWORD>(-1);
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(url_.c_str(), 0, 0, &parts)) return FailLast();
        const std::wstring host = Piece(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path = Piece(parts.lpszUrlPath, parts.dwUrlPathLength) +
                            Piece(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";
        const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

        Handle session = OpenSession();
        if (!session) return FailLast();
        const int connectMs = ClampMs(limits_.connectTimeout);
        const int totalMs = ClampMs(limits_.totalTimeout);
        // Sends and receives wait at most the whole allowance; the read loop below keeps
        // the whole exchange within it too.
        WinHttpSetTimeouts(session.get(), connectMs, connectMs, totalMs, totalMs);
        Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
        if (!connection) return FailLast();
        Handle request(WinHttpOpenRequest(connection.get(), method_.c_str(), path.c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return FailLast();
        // The wait for the answer's headers has a limit of its own (90 s by default) that
        // WinHttpSetTimeouts does not touch.
        DWORD headersMs = static_cast<DWORD>(totalMs);
        WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs,
                         sizeof headersMs);
        // In synchronous mode this is the one way to learn why a secure connection failed.
        WinHttpSetStatusCallback(request.get(), &WinHttpRequest::OnStatus,
                                 WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);

        bool callerSetType = false;
        for (const std::wstring& header : headers_) {
            AddHeader(request.get(), header);
            callerSetType = callerSetType || _wcsnicmp(header.c_str(), L"Content-Type:", 13) == 0;
        }
        // A text body goes out as the platform's request object sends a string.
        if ((method_ == L"POST" || !body.empty()) && !callerSetType)
            AddHeader(request.get(), L"Content-Type: text/plain;charset=UTF-8");

        const auto length = static_cast<DWORD>(body.size());
        void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
        if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, length,
                                length, reinterpret_cast<DWORD_PTR>(this)) ||
            !WinHttpReceiveResponse(request.get(), nullptr))
            return FailLast();

        DWORD status = 0;
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(
                request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
            return FailLast();
        std::string statusText = QueryStatusText(request.get());

        std::string received;
        for (;;) {
            if (GetTickCount64() >= deadline) return Fail(ERROR_WINHTTP_TIMEOUT);
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request.get(), &available)) return FailLast();
            if (available == 0) break;
            if (available > limits_.maxResponseBytes - received.size()) {
                error_ = {kHttpResponseTooLarge,
                          "The server's answer is larger than " +
                              std::to_string(limits_.maxResponseBytes) + " bytes.",
                          0};
                return false;
            }
            const std::size_t before = received.size();
            received.resize(before + available);
            DWORD read = 0;
            if (!WinHttpReadData(request.get(), received.data() + before, available, &read))
                return FailLast();
            received.resize(before + read);
            if (read == 0) break;
        }
        status_ = static_cast<int>(status);
        statusText_ = std::move(statusText);
        response_ = std::move(received);
        return true;
    }

    const HttpError& Error() const override { return error_; }
    int Status() const override { return status_; }
    std::string StatusText() const override { return statusText_; }
    std::string ResponseText() const override { return response_; }

private:
    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                  DWORD length) {
        if (context == 0 || status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE) return;
        if (information == nullptr || length < sizeof(DWORD)) return;
        reinterpret_cast<WinHttpRequest*>(context)->secureFlags_ |=
            *static_cast<const DWORD*>(information);
    }

    static void AddHeader(HINTERNET request, const std::wstring& header) {
        WinHttpAddRequestHeaders(request, header.c_str(), static_cast<DWORD>(-1),
                                 WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }

    static std::string QueryStatusText(HINTERNET request) {
        DWORD size = 0;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX,
                                 text.data(), &size, WINHTTP_NO_HEADER_INDEX))
            return {};
        text.resize(size / sizeof(wchar_t));
        return Narrow(text);
    }

    bool FailLast() { return Fail(GetLastError()); }

    bool Fail(DWORD code) {
        // Some WinHTTP builds (Wine's among them) let the socket's time-out through.
        constexpr DWORD kSocketTimedOut = 10060;  // WSAETIMEDOUT
        if (code == kSocketTimedOut) code = ERROR_WINHTTP_TIMEOUT;
        error_ = {ErrorNumber(code, secureFlags_), WinHttpMessage(code),
                  static_cast<std::uint32_t>(code)};
        return false;
    }

    void ClearResponse() {
        error_ = {};
        status_ = 0;
        statusText_.clear();
        response_.clear();
        secureFlags_ = 0;
    }

    HttpLimits limits_;
    std::wstring method_;
    std::wstring url_;
    std::vector<std::wstring> headers_;
    bool opened_ = false;

    DWORD secureFlags_ = 0;
    HttpError error_;
    int status_ = 0;
    std::string statusText_;
    std::string response_;
};

class WinHttpFactory final : public HttpFactory {
public:
    explicit WinHttpFactory(const HttpLimits& limits) : limits_(limits) {}
    std::unique_ptr<HttpRequest> CreateRequest() override {
        return std::make_unique<WinHttpRequest>(limits_);
    }

private:
    HttpLimits limits_;
};

}  // namespace

std::unique_ptr<HttpFactory> CreateWinHttpFactory(const HttpLimits& limits) {
    return std::make_unique<WinHttpFactory>(limits);
}

std::unique_ptr<HttpFactory> CreateHttpFactory() {
    return CreateWinHttpFactory(HttpLimits{});
}

}  // namespace tovela::win32

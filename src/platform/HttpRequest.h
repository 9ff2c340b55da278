#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tovela {

// Transport failures, numbered as the platform's request object numbers them.
inline constexpr std::uint32_t kInetResourceNotFound = 0x800C0005;  // host or address not found
inline constexpr std::uint32_t kInetDownloadFailure = 0x800C0008;   // connection or transfer failed
inline constexpr std::uint32_t kInetInvalidCertificate = 0x800C0019;  // certificate refused

// How long a request may take and how much it may bring back. The defaults are the
// product's; tests pass short ones.
struct HttpLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds totalTimeout{120'000};
    std::size_t maxResponseBytes = 32u << 20;
};

// An answer over maxResponseBytes; both back ends report this number.
inline constexpr std::uint32_t kHttpResponseTooLarge = 0x800C0007;

struct HttpError {
    std::uint32_t number = 0;        // 0: no error
    std::string description;         // the library's or the system's text
    std::uint32_t lastDllError = 0;  // the system error code behind it, when there is one
};

// A synchronous request in the shape of the platform's XML HTTP request object: open with
// a method and a URL, set headers, send a text body (UTF-8), then read the status, its text
// and the response. A request that does not complete within its time limits fails with a
// numbered error like any other transport failure.
class HttpRequest {
public:
    virtual ~HttpRequest() = default;
    virtual void Open(std::string_view method, std::string_view url) = 0;
    virtual void SetRequestHeader(std::string_view name, std::string_view value) = 0;
    // False on a transport failure; Error() then says which.
    virtual bool Send(std::string_view body) = 0;
    virtual const HttpError& Error() const = 0;
    virtual int Status() const = 0;
    virtual std::string StatusText() const = 0;
    virtual std::string ResponseText() const = 0;
};

class HttpFactory {
public:
    virtual ~HttpFactory() = default;
    virtual std::unique_ptr<HttpRequest> CreateRequest() = 0;
};

}  // namespace tovela

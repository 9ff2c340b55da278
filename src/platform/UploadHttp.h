#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tovela {

// WinInet's numbers. Uploads report failures by them in both builds.
namespace wininet {
inline constexpr std::uint32_t kErrorTimeout = 12002;
inline constexpr std::uint32_t kErrorInternal = 12004;
inline constexpr std::uint32_t kErrorInvalidUrl = 12005;
inline constexpr std::uint32_t kErrorNameNotResolved = 12007;
inline constexpr std::uint32_t kErrorOperationCancelled = 12017;
inline constexpr std::uint32_t kErrorCannotConnect = 12029;
inline constexpr std::uint32_t kErrorConnectionAborted = 12030;
inline constexpr std::uint32_t kErrorConnectionReset = 12031;
inline constexpr std::uint32_t kErrorCertDateInvalid = 12037;
inline constexpr std::uint32_t kErrorCertNameInvalid = 12038;
inline constexpr std::uint32_t kErrorInvalidCa = 12045;
inline constexpr std::uint32_t kErrorCertErrors = 12055;
inline constexpr std::uint32_t kErrorInvalidServerResponse = 12152;
inline constexpr std::uint32_t kErrorRedirectFailed = 12156;
inline constexpr std::uint32_t kErrorSecurityChannel = 12157;
inline constexpr std::uint32_t kErrorCertRevoked = 12170;

// HttpQueryInfo levels.
inline constexpr std::uint32_t kQueryContentLength = 5;
inline constexpr std::uint32_t kQueryStatusCode = 19;
inline constexpr std::uint32_t kQueryStatusText = 20;
inline constexpr std::uint32_t kQueryRawHeadersCrlf = 22;
inline constexpr std::uint32_t kQueryFlagNumber = 0x20000000;
}  // namespace wininet

// How long an upload may wait. There is no limit on the whole exchange: a large file on a
// slow line takes as long as it takes, as long as bytes keep moving.
struct UploadLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds stallTimeout{120'000};  // no byte sent or received
};

// The body of a request, pulled piece by piece while it is sent, so it is never held whole.
class UploadBody {
public:
    virtual ~UploadBody() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills the buffer with the next bytes; 0 only after the last one; nothing when the
    // source failed, which abandons the request.
    virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;
};

// One HTTP request in the shape of WinInet's handles: a session, a connection to one server
// and one request on it. Every call blocks, so callers make them on a worker thread; one
// object is used by one thread at a time. The request sends exactly the caller's header
// block and body: it adds no cookies, uses no cache, never follows a redirect, and checks
// the server's certificate as the system checks it.
class UploadHttp {
public:
    virtual ~UploadHttp() = default;
    // InternetOpen with this agent and the system's proxy configuration.
    virtual bool OpenSession(const std::string& agent) = 0;
    // InternetConnect for HTTP; nothing goes over the network yet.
    virtual bool Connect(const std::string& server, std::uint16_t port) = 0;
    // HttpOpenRequest; `secure` asks for TLS.
    virtual bool OpenRequest(const std::string& verb, const std::string& object,
                             const std::string& version, bool secure) = 0;
    // Sends the header block (lines ending in CR LF) and the body, then waits for the
    // headers of the answer.
    virtual bool SendRequest(const std::string& headers, UploadBody& body) = 0;
    // HttpQueryInfo of a level, as text; nothing when the answer does not have it.
    virtual std::optional<std::string> QueryInfo(std::uint32_t level) = 0;
    // InternetReadFile: the next bytes of the answer's body, 0 at its end; nothing when
    // the read failed.
    virtual std::optional<std::size_t> ReadResponse(std::span<char> buffer) = 0;
    // Closes the request and the connection.
    virtual void Disconnect() = 0;
    // The WinInet error number of the last failed call, and the system's text for a number
    // (empty when it has none).
    virtual std::uint32_t LastError() = 0;
    virtual std::string ErrorText(std::uint32_t code) = 0;
};

class UploadHttpFactory {
public:
    virtual ~UploadHttpFactory() = default;
    virtual std::unique_ptr<UploadHttp> Create() = 0;
};

}  // namespace tovela

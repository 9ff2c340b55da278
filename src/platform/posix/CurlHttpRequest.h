#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/HttpRequest.h"

namespace tovela::posix {

// Error numbers of our own, outside the three the callers tell apart. They are the
// numbers the Windows back end reports for the same failures (HRESULTs of WinHTTP codes).
inline constexpr std::uint32_t kHttpTimedOut = 0x80072EE2;    // 12002, timed out
inline constexpr std::uint32_t kHttpInvalidUrl = 0x80072EE5;  // 12005, invalid URL
inline constexpr std::uint32_t kHttpFailed = 0x80004005;      // anything else the library reports

// Requests on libcurl. Failures map onto the numbers of the platform's request object:
//   host not resolved, connection refused     -> kInetResourceNotFound
//   connection broken during the exchange     -> kInetDownloadFailure
//   TLS handshake failed, no certificate said -> kInetDownloadFailure (often a port without
//                                                TLS; the message then suggests the box)
//   certificate or host name not accepted     -> kInetInvalidCertificate
//   time limit reached                        -> kHttpTimedOut
//   answer over maxResponseBytes              -> kHttpResponseTooLarge
//   malformed URL or unsupported scheme       -> kHttpInvalidUrl
//   the rest                                  -> kHttpFailed
// lastDllError is the system's errno behind the failure, when there is one.
std::unique_ptr<HttpFactory> CreateCurlHttpFactory(const HttpLimits& limits);

}  // namespace tovela::posix

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/HttpRequest.h"

namespace tovela::win32 {

// Requests on WinHTTP. Failures map onto the numbers of the platform's request object:
//   name not resolved, cannot connect                            -> kInetResourceNotFound
//   connection broken, invalid answer, and a TLS handshake that
//   fails without a certificate complaint (a port without TLS)   -> kInetDownloadFailure
//   certificate refused                                          -> kInetInvalidCertificate
//   answer over the size limit                                   -> kHttpResponseTooLarge
//   anything else, time-outs included                            -> HRESULT of the WinHTTP code
// lastDllError is the WinHTTP code; the description is WinHTTP's own message for it.
std::unique_ptr<HttpFactory> CreateWinHttpFactory(const HttpLimits& limits);

}  // namespace tovela::win32

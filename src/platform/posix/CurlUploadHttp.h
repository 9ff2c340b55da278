#pragma once

#include <memory>

#include "platform/UploadHttp.h"

namespace tovela::posix {

// Upload requests on libcurl, reporting failures by WinInet's numbers:
//   host not resolved                      -> kErrorNameNotResolved
//   connection refused                     -> kErrorCannotConnect
//   connection broken or reset             -> kErrorConnectionAborted, kErrorConnectionReset
//   no byte moved within the time limits   -> kErrorTimeout
//   certificate of an unknown authority    -> kErrorInvalidCa (out of date, wrong name,
//                                             revoked: their own numbers)
//   TLS handshake failed before that       -> kErrorSecurityChannel
//   an answer that is not HTTP             -> kErrorInvalidServerResponse
//   the body's source failed               -> kErrorOperationCancelled
// Proxies come from the environment (http_proxy, https_proxy, no_proxy) as for every
// libcurl program. The whole exchange happens in SendRequest; the answer is kept for the
// queries and reads that follow.
std::unique_ptr<UploadHttpFactory> CreateCurlUploadHttpFactory(const UploadLimits& limits);

}  // namespace tovela::posix

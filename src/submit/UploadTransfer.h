#pragma once

#include <cstdint>
#include <string>

#include "platform/UploadHttp.h"
#include "submit/MultipartBody.h"

namespace tovela {

// How one exchange with the upload service ended.
struct UploadOutcome {
    enum class Kind { Completed, Failed, NotUploadResult, Redirect };
    Kind kind = Kind::Completed;
    std::int32_t number = 0;  // Failed: the event's number
    std::string text;         // Failed: its description; NotUploadResult: the chunk
};

// What one POST of the upload brought back.
struct TransferResult {
    UploadOutcome failure;  // kind Failed when the exchange failed, else Completed
    std::string serverName;
    std::uint16_t port = 0;
    bool clientCreated = false;  // an HTTP client existed when it ended
    std::string response;
    std::string rawHeaders;
};

// The POST of a multipart body to the upload service: connect, send, read the status, the
// answer and its headers. Blocks; made on a worker thread. `server` is "host" or
// "host:port".
TransferResult PostUpload(UploadHttpFactory& http, const std::string& server, bool secure,
                          const std::string& urlPath, const std::string& token,
                          MultipartBody& body);

// The largest answer read; the service answers with a short line.
inline constexpr std::size_t kMaxUploadAnswer = 1 << 20;

}  // namespace tovela

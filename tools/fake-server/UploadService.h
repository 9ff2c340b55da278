#pragma once

#include <httplib.h>

#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "RequestLog.h"
#include "ServerState.h"
#include "StopSignal.h"

namespace tovela::fakeserver {

// A file the upload service kept: its names and the SHA-256 of its bytes, not the bytes.
struct StoredUpload {
    std::string id;
    std::string fileName;   // the filename of its "_attFile_" part
    std::string fieldName;  // the value of the "filenameN" field before it
    std::string requestId;
    std::uint64_t size = 0;
    std::string sha256;
    std::string authToken;
};

// One POST to the upload service as it arrived.
struct UploadRequestRecord {
    std::string target;
    std::string authToken;
    std::uint64_t bodySize = 0;
    std::string bodySha256;
    std::string bodyStart;  // the first 4 KiB, for reading in a test's failure message
    int status = 0;
    std::string answer;
};

// Upload behaviours a test switches on.
struct UploadScript {
    // The next this many successful uploads are answered 200 with a Location header
    // instead of being kept; -1: every one (a redirect loop).
    int redirects = 0;
    std::string location;  // default: the request's own path and query
};

class UploadStore {
public:
    template <class F>
    auto With(F&& f) {
        std::lock_guard lock(mutex_);
        return f(*this);
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        files.clear();
        requests.clear();
        script = {};
    }

    std::vector<StoredUpload> files;
    std::vector<UploadRequestRecord> requests;
    UploadScript script;
    unsigned long issued = 0;  // ids numbered from here; survives a reset

private:
    std::mutex mutex_;
};

// POST /service/upload: the multipart upload, read as it arrives.
void AddUploadRoutes(httplib::Server& server, ServerState& state, RequestLog& log, StopSignal& stop,
                     UploadStore& uploads);

// GET /admin/uploads and POST /admin/uploads/script; added before the other admin routes.
// /admin/reset also forgets the uploads.
void AddUploadAdminRoutes(httplib::Server& server, UploadStore& uploads);

}  // namespace tovela::fakeserver

#pragma once

#include <optional>
#include <string>

#include "ServerState.h"

namespace tovela::fakeserver {

// An upload the server keeps, as the attachments of a message and the briefcase documents
// name it by its id.
struct KeptUpload {
    std::string name;
    unsigned long long size = 0;
    std::string sha256;  // hexadecimal, lower case
};

struct UploadLookup {
    bool uploadsKept = false;  // the server keeps uploads at all: an unknown id is then refused
    std::optional<KeptUpload> upload;
};

class UploadStore;

// The store of /service/upload that the look-ups read; without one no upload is known and
// every id is kept as text only.
void ConnectUploadStore(UploadStore* store);

// The kept upload of that id.
UploadLookup LookUpUpload(const StateData& state, const std::string& uploadId);

}  // namespace tovela::fakeserver

#include "UploadLookup.h"

#include <atomic>

#include "UploadService.h"

namespace tovela::fakeserver {
namespace {
std::atomic<UploadStore*> connected{nullptr};
}  // namespace

void ConnectUploadStore(UploadStore* store) {
    connected = store;
}

UploadLookup LookUpUpload(const StateData&, const std::string& uploadId) {
    UploadStore* store = connected;
    if (!store) return {};
    return store->With([&](UploadStore& s) {
        UploadLookup lookup{true, std::nullopt};
        for (const StoredUpload& file : s.files) {
            if (file.id == uploadId) {
                lookup.upload = KeptUpload{file.fileName, file.size, file.sha256};
                break;
            }
        }
        return lookup;
    });
}

}  // namespace tovela::fakeserver

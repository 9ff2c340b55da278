#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tovela::fakeserver {

// Mailbox changes a session has not been told about yet.
struct PendingChanges {
    std::vector<std::string> created;   // complete m, appt, folder and tag elements
    std::vector<std::string> modified;  // complete m and appt elements
    // Folders and tags whose name or counts changed: (element, id) → changed attributes.
    // Kept by attribute, so several changes before the next batch make one element.
    std::map<std::pair<std::string, std::string>, std::map<std::string, std::string>> touched;
    std::vector<std::string> deleted;  // ids

    bool Empty() const {
        return created.empty() && modified.empty() && touched.empty() && deleted.empty();
    }
};

// What the server keeps per session for its batches.
struct SessionFeed {
    unsigned long seq = 0;   // of the last notify block sent
    bool refreshDue = true;  // the next batch carries folders and tags
    PendingChanges pending;
};

// The notify block for everything pending, with the next sequence number; empty when
// nothing is pending. Each change is sent once: the pending list is emptied.
std::string TakeNotifyBlock(SessionFeed& feed);

}  // namespace tovela::fakeserver

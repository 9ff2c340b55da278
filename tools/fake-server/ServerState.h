#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "Notifications.h"
#include "Scenario.h"
#include "Script.h"
#include "Submissions.h"

namespace tovela::fakeserver {

struct StateData {
    Scenario scenario;
    Script script;
    std::map<std::string, std::string> sessionByToken;  // issued auth token → session id
    std::map<std::string, SessionFeed> feeds;           // session id → its notifications
    Submissions submissions;   // messages sent, drafts and briefcase documents
    unsigned long issued = 0;  // tokens and sessions numbered from here; survives a reset
};

// The server's state, shared by the request threads. Every read or change goes through
// With(), which holds the lock for the whole decision, so a one-shot behaviour is used by
// exactly one request.
class ServerState {
public:
    explicit ServerState(Scenario initial) : initial_(std::move(initial)) {
        data_.scenario = initial_;
    }

    template <class F>
    auto With(F&& f) {
        std::lock_guard lock(mutex_);
        return f(data_);
    }

    // Back to the scenario the server started with, no script and no sessions. The
    // numbering goes on, so a token from before the reset is never valid again.
    void Reset() {
        std::lock_guard lock(mutex_);
        const unsigned long issued = data_.issued;
        data_ = StateData{};
        data_.scenario = initial_;
        data_.issued = issued;
    }

private:
    std::mutex mutex_;
    Scenario initial_;
    StateData data_;
};

}  // namespace tovela::fakeserver

#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace tovela::fakeserver {

struct ScriptedFault {
    std::string text;
    std::string code = "service.FAILURE";
};

struct CannedResponse {
    std::string method = "POST";  // the request method it answers
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
};

// Behaviours a test switches on. Conditions hold until changed; events are used by the
// next request they fit and then cleared, so a test scripts a single failure and watches
// the client recover.
struct Script {
    // Conditions.
    std::optional<int> optionsRefusal;  // status answered to OPTIONS instead of 200
    std::string refer;                  // host:port that login answers send the account to
    int delayMs = 0;                    // wait before answering the service paths
    // Events.
    bool authFailed = false;                     // next login refused, whatever the password
    std::string sessionFault;                    // "expired" or "invalid": next session batch
    std::optional<ScriptedFault> fault;          // next POST answered with this fault
    std::optional<std::string> htmlPage;         // next POST answered 200 with this page
    bool newSession = false;                     // next session batch announces a new session
    bool refresh = false;                        // next session batch carries folders and tags
    std::optional<CannedResponse> nextResponse;  // next request of its method, verbatim
    std::optional<int> oversize;  // next POST: a streamed envelope of this many bytes
    std::optional<int> cutAfter;  // next POST: its answer broken off after this many bytes
};

nlohmann::json ToJson(const Script& script);

// Applies a JSON merge patch to the script (null clears a behaviour). Empty result and
// `error` set when the patch names an unknown behaviour or a value of the wrong kind.
std::optional<Script> MergeScript(const Script& script, const nlohmann::json& patch,
                                  std::string& error);

}  // namespace tovela::fakeserver

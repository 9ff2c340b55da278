#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tovela::fakeserver {

// A fault a test scripts for the next send, draft or briefcase request it fits.
struct SubmissionFault {
    std::string request;  // SendMsgRequest, SaveDraftRequest or SaveDocumentRequest; empty: any
    std::string name;     // a document's name or upload id, a message's subject; empty: any
    std::string kind;     // "exists", "size" or "custom"
    std::string text;     // custom only
    std::string code;     // custom only
};

// What the account was sent: messages as sent, drafts and briefcase documents, each kept as
// the JSON the admin interface lists (see SubmissionResponder.h for the fields).
struct Submissions {
    nlohmann::json sent = nlohmann::json::array();
    nlohmann::json drafts = nlohmann::json::array();
    nlohmann::json documents = nlohmann::json::array();
    std::vector<SubmissionFault> faults;  // used in order, each once
    long long lastId = 0;                 // of the last message or document kept
};

nlohmann::json ToJson(const SubmissionFault& fault);

// Reads {"request", "name", "fault": "exists" | "size" | {"text", "code"}}; throws
// FieldError on anything else.
SubmissionFault ReadSubmissionFault(const nlohmann::json& in);

}  // namespace tovela::fakeserver

#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tovela::fakeserver {

// One send, draft or briefcase operation of an envelope, as the client wrote it.
struct ReadSubmission {
    std::string name;  // SendMsgRequest, SaveDraftRequest or SaveDocumentRequest
    std::string ns;    // its namespace, empty when it has none
    std::optional<std::string> requestId;
    // A message: identity, flags, from, replyTo (address and personal, or null), to, cc,
    // bcc (lists of them), subject, contentType, body, attachIds. A document: requestId,
    // folder, uploadId, name. Attributes and elements the client left out are null.
    nlohmann::json fields;
    std::string error;  // why the operation cannot be carried out; empty when it can
};

struct ReadEnvelope {
    std::string parseError;                   // the envelope is no well-formed XML, or it has a DTD
    std::vector<ReadSubmission> submissions;  // in document order
};

bool IsSubmission(const std::string& operationName);

// Reads the envelope with a strict XML parser, so a value the client failed to escape
// shows up as the fault a real server gives. Line breaks in text stay as written.
ReadEnvelope ReadSubmissions(const std::string& envelope);

}  // namespace tovela::fakeserver

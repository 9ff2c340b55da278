#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ClientRequest.h"
#include "Script.h"
#include "ServerState.h"

namespace tovela::fakeserver {

// The answers to the send, draft and briefcase operations of a session's envelope.
struct SubmissionAnswers {
    // The envelope as a whole is refused: it is no well-formed XML, or an operation outside a
    // batch failed.
    std::optional<ScriptedFault> envelopeFault;
    // One response element per operation, in order; inside a batch a failed operation gets a
    // fault element of its own and the others go on.
    std::vector<std::string> answers;
};

// Carries out the envelope's SendMsgRequest, SaveDraftRequest and SaveDocumentRequest
// operations and keeps what they send in `state.submissions`. Kept message:
// {id, date (ms), identity, flags, from, replyTo, to, cc, bcc, subject, contentType, body,
// attachIds, attachments: [{id, name, size, sha256}]}. Kept document: {id, date, requestId,
// folder, uploadId, name, size, sha256}. What the upload service does not know is null.
SubmissionAnswers AnswerSubmissions(StateData& state, const ClientRequest& request,
                                    const std::string& envelope);

}  // namespace tovela::fakeserver

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "session/AccountPreferences.h"
#include "session/SessionContext.h"

namespace tovela {

// A message or document upload as it stands after its attachments were uploaded. The
// request builders fill in what the account adds: sender and reply-to defaults, the final
// body, the recipients without trailing separators.
struct Submission {
    std::string sFromAddr{};
    std::string sFromName{};
    std::string sReplyToAddr{};
    std::string sReplyToName{};
    std::string sRecipients{};
    std::string sSubject{};
    std::string sBody{};
    std::string sMapiFlags{};
    std::string sAttachIds{};  // the uploads' ids, comma-separated
    bool bToBriefcase = false;
};

// The HTML engine's two services for the body: the inner HTML of a text parsed as a body
// element's content, and the plain text of one. Nothing when the engine fails.
struct HtmlServices {
    std::function<std::optional<std::string>(std::string_view)> bodyInnerHtml;
    std::function<std::optional<std::string>(std::string_view)> bodyText;
};

// Sent rather than saved as a draft: recipients and something to send, and the sender did
// not ask to see the message first.
bool IsSendable(const Submission& s);

// The final body and its content type ("text/html", or empty for plain text) after the
// account's compose format and signature.
struct BodyAndType {
    std::string body;
    std::string contentType;
};
BodyAndType ComposeBody(std::string_view body, const AccountPreferences& account,
                        const HtmlServices& html);

// The whole envelope: a SendMsgRequest or SaveDraftRequest, or for the briefcase one
// SaveDocumentRequest per upload. Changes `s` as the message is completed.
std::string BuildSubmissionRequest(Submission& s, const SessionContext& ctx,
                                   const AccountPreferences& account, const HtmlServices& html);

}  // namespace tovela

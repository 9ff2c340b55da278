#pragma once

#include <string>

#include "ServerState.h"

namespace tovela::fakeserver {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    // Scripted transport faults. cutAfter: the whole length is announced but the connection
    // ends after this many bytes of the body. streamedSize: instead of the body, an envelope
    // of this many bytes goes out in chunks, without a length, made as it is sent.
    std::size_t cutAfter = std::string::npos;
    std::size_t streamedSize = 0;
};

// The answers of the SOAP endpoint. Both take the locked state and use up the one-shot
// behaviours they act on.
Reply AnswerSoapOptions(StateData& state);
Reply AnswerSoapPost(StateData& state, const std::string& envelope);

}  // namespace tovela::fakeserver

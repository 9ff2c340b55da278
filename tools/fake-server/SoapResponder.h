#pragma once

#include <string>

#include "ServerState.h"

namespace tovela::fakeserver {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
};

// The answers of the SOAP endpoint. Both take the locked state and use up the one-shot
// behaviours they act on.
Reply AnswerSoapOptions(StateData& state);
Reply AnswerSoapPost(StateData& state, const std::string& envelope);

}  // namespace tovela::fakeserver

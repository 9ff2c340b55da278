#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/DebugLog.h"
#include "platform/Clock.h"
#include "platform/HttpRequest.h"
#include "platform/SystemInfo.h"
#include "session/SessionContext.h"

namespace tovela {

// The services one SOAP exchange uses.
struct SoapTransport {
    HttpFactory& http;
    Clock& clock;
    TimeZone& zone;
    SystemInfo& system;
    DebugLog& log;
};

// The account the exchange runs for. onLoginRejected empties what the form keeps of the
// password (the field and the password box) when the server refuses the login.
struct SoapAccount {
    SessionContext& session;
    bool secure;
    std::string userName;
    std::function<void()> onLoginRejected;
};

// True when the answer is a SOAP fault whose code or detail says the login was refused.
bool IsRejectedLogin(std::string_view response);

// Posts one envelope to the server's SOAP endpoint, probing the endpoint with OPTIONS first
// until a probe has answered 200. Gives back the response when it is a SOAP envelope that
// does not reject the login; otherwise nothing, with the reason in session.sLastError.
std::string SendSoap(const std::string& envelope, SoapTransport& transport, SoapAccount& account);

}  // namespace tovela

#pragma once

#include <string>

#include "ClientRequest.h"
#include "Scenario.h"

namespace tovela::fakeserver {

inline constexpr const char* kSoapContentType = "application/soap+xml; charset=utf-8";

std::string XmlEscape(const std::string& text);

// ` name="value"`, the value escaped.
std::string XmlAttr(const std::string& name, const std::string& value);

// "session" from version 6 on, "sessionId" before, as the client expects.
std::string SessionTag(const Scenario& scenario);

// The context header: the session (left out when `sessionId` is empty), the change token, the
// refresh block with the server version and, `withMailbox`, the folders and tags, then the
// given notify block.
std::string ContextHeader(const Scenario& scenario, const std::string& sessionId,
                          bool withMailbox = false, const std::string& notify = "");

std::string Envelope(const std::string& header, const std::string& body);

// A SOAP 1.2 fault; `code` goes into the detail, where the client looks for AUTH_FAILED.
std::string FaultEnvelope(const std::string& text, const std::string& code);

std::string AuthResponse(const Scenario& scenario, const ClientRequest& request,
                         const std::string& authToken, const std::string& sessionId);

// A login answer that sends the account to another server, with no token and no session.
std::string ReferralAuthResponse(const Scenario& scenario, const std::string& hostAndPort);

// The answer to one operation other than AuthRequest; unknown ones get an empty response
// element of the matching name, so new client requests do not break the double.
std::string OperationResponse(const Scenario& scenario, const Operation& operation);

}  // namespace tovela::fakeserver

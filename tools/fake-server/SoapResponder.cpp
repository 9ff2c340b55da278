#include "SoapResponder.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <utility>

#include "ClientRequest.h"
#include "EnvelopeWriter.h"
#include "JsonFields.h"
#include "MailboxChanges.h"
#include "SubmissionReader.h"
#include "SubmissionResponder.h"

namespace tovela::fakeserver {

namespace {

constexpr int kFaultStatus = 500;  // SOAP 1.2 over HTTP answers faults with 500

Reply Soap(std::string body, int status = 200) {
    return {status, kSoapContentType, std::move(body)};
}

Reply Fault(const std::string& text, const std::string& code) {
    return Soap(FaultEnvelope(text, code), kFaultStatus);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string NewSessionId(StateData& state) {
    return std::to_string(++state.issued);
}

// Called under the state lock, which also guards the generator.
std::string NewAuthToken(StateData& state) {
    static std::mt19937_64 random{std::random_device{}()};
    const char* digits = "0123456789abcdef";
    std::string token = "0_" + std::to_string(++state.issued) + "_";
    for (int i = 0; i < 32; ++i) token += digits[random() % 16];
    return token;
}

// The answers to the batch's other operations, wrapped as the request was. The send, draft
// and briefcase operations take their answers from `submitted`, in order.
std::string Body(const StateData& state, const ClientRequest& request, const std::string& auth,
                 const std::vector<std::string>& submitted = {}) {
    std::string inner;
    std::size_t next = 0;
    for (const Operation& op : request.operations) {
        if (IsSubmission(op.name) && next < submitted.size()) {
            inner += submitted[next++];
            continue;
        }
        inner += op.name == "AuthRequest" ? auth : OperationResponse(state.scenario, op);
    }
    if (!request.batch) return inner;
    return "<BatchResponse xmlns=\"urn:tovela\">" + inner + "</BatchResponse>";
}

Reply AnswerLogin(StateData& state, const ClientRequest& request) {
    const Account& account = state.scenario.account;
    const bool known = SameIgnoringCase(request.account, account.user) ||
                       SameIgnoringCase(request.account, account.name);
    if (std::exchange(state.script.authFailed, false) || !known ||
        request.password != account.password) {
        return Fault("authentication failed for " + request.account, "account.AUTH_FAILED");
    }
    if (!state.script.refer.empty()) {
        const std::string auth = ReferralAuthResponse(state.scenario, state.script.refer);
        return Soap(Envelope(ContextHeader(state.scenario, ""), Body(state, request, auth)));
    }
    const std::string token = NewAuthToken(state);
    const std::string session = NewSessionId(state);
    state.sessionByToken[token] = session;
    // The login answer carries the mailbox, and so does the first batch of the session.
    state.feeds[session] = SessionFeed{};
    const std::string auth = AuthResponse(state.scenario, request, token, session);
    return Soap(Envelope(ContextHeader(state.scenario, session, true), Body(state, request, auth)));
}

// The `d` of the first <inst> after the operation's start tag: the occurrence meant.
std::string OccurrenceOf(const std::string& envelope, const Operation& operation) {
    const std::size_t at = envelope.find(operation.startTag);
    const std::size_t end = envelope.find("</" + operation.name, at);
    const std::size_t inst = envelope.find("<inst ", at);
    if (at == std::string::npos || inst == std::string::npos || inst > end) return {};
    const std::size_t close = envelope.find('>', inst);
    return OperationAttribute({"inst", "", envelope.substr(inst, close - inst + 1)}, "d");
}

Reply AnswerSession(StateData& state, const ClientRequest& request, const std::string& envelope) {
    const auto found = state.sessionByToken.find(request.authToken);
    if (request.authToken.empty() || found == state.sessionByToken.end()) {
        return Fault("no valid authtoken present", "service.AUTH_REQUIRED");
    }
    const std::string sessionFault = std::exchange(state.script.sessionFault, "");
    if (sessionFault == "expired") {
        state.feeds.erase(found->second);
        state.sessionByToken.erase(found);
        return Fault("auth credentials have expired", "service.AUTH_EXPIRED");
    }
    // A scripted "invalid" is a passing hiccup: the token stays good for the next batch.
    if (sessionFault == "invalid")
        return Fault("no valid authtoken present", "service.AUTH_REQUIRED");
    if (std::exchange(state.script.newSession, false)) {
        state.feeds.erase(found->second);
        found->second = NewSessionId(state);
    }
    for (const Operation& op : request.operations) {
        if (op.name != "CancelAppointmentRequest") continue;
        try {
            CancelAppointment(state, OperationAttribute(op, "id"), OccurrenceOf(envelope, op));
        } catch (const FieldError& error) {
            return Fault(error.what(), "mail.NO_SUCH_APPT");
        }
    }
    const SubmissionAnswers submitted = AnswerSubmissions(state, request, envelope);
    if (submitted.envelopeFault) {
        return Fault(submitted.envelopeFault->text, submitted.envelopeFault->code);
    }
    SessionFeed& feed = state.feeds[found->second];
    const bool firstBatch = std::exchange(feed.refreshDue, false);
    const bool scripted = std::exchange(state.script.refresh, false);
    const std::string header =
        ContextHeader(state.scenario, found->second, firstBatch || scripted, TakeNotifyBlock(feed));
    return Soap(Envelope(header, Body(state, request, "", submitted.answers)));
}

}  // namespace

Reply AnswerSoapOptions(StateData& state) {
    Script& script = state.script;
    if (script.nextResponse && script.nextResponse->method == "OPTIONS") {
        const CannedResponse canned = *std::exchange(script.nextResponse, std::nullopt);
        return {canned.status, canned.contentType, canned.body};
    }
    if (script.optionsRefusal) return {*script.optionsRefusal, "text/plain", ""};
    return {200, "text/plain", ""};
}

namespace {

Reply ChooseAnswer(StateData& state, const std::string& envelope) {
    Script& script = state.script;
    if (script.nextResponse && script.nextResponse->method == "POST") {
        const CannedResponse canned = *std::exchange(script.nextResponse, std::nullopt);
        return {canned.status, canned.contentType, canned.body};
    }
    if (script.oversize) {
        Reply reply = Soap("");
        reply.streamedSize =
            static_cast<std::size_t>(*std::exchange(script.oversize, std::nullopt));
        return reply;
    }
    if (script.htmlPage) {
        return {200, "text/html; charset=utf-8", *std::exchange(script.htmlPage, std::nullopt)};
    }
    if (script.fault) {
        const ScriptedFault fault = *std::exchange(script.fault, std::nullopt);
        return Fault(fault.text, fault.code);
    }
    const ClientRequest request = ReadClientRequest(envelope);
    return request.isLogin ? AnswerLogin(state, request) : AnswerSession(state, request, envelope);
}

}  // namespace

Reply AnswerSoapPost(StateData& state, const std::string& envelope) {
    Reply reply = ChooseAnswer(state, envelope);
    // Whatever the answer is, it can be broken off on the way.
    if (state.script.cutAfter) {
        reply.cutAfter =
            static_cast<std::size_t>(*std::exchange(state.script.cutAfter, std::nullopt));
    }
    return reply;
}

}  // namespace tovela::fakeserver

#pragma once

#include <cstdint>
#include <string>

#include "fakes/ScriptedHttp.h"

// Server answers of the check cycle, for tests of the main form on the real XML engine.
namespace tovela::testing {

inline const std::string kEnvelopeHead =
    "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
    "<context xmlns=\"urn:tovela\"><session id=\"S1\">S1</session><change token=\"5\"/>"
    "<refresh><version>8.8.15_GA</version></refresh></context></soap:Header><soap:Body>";

inline HttpReply LoginAnswer(const std::string& poll = "120") {
    return HttpReply(
        200, "OK",
        kEnvelopeHead +
            "<BatchResponse xmlns=\"urn:tovela\"><AuthResponse xmlns=\"urn:tovelaAccount\">"
            "<authToken>TOK</authToken><session id=\"S1\">S1</session><prefs>"
            "<pref name=\"tovelaPrefMailPollingInterval\">" +
            poll +
            "</pref>"
            "</prefs></AuthResponse></BatchResponse></soap:Body></soap:Envelope>");
}

inline HttpReply SessionAnswer() {
    return HttpReply(
        200, "OK",
        kEnvelopeHead + "<BatchResponse xmlns=\"urn:tovela\"/></soap:Body></soap:Envelope>");
}

inline HttpReply Rejected() {
    return HttpReply(
        500, "Internal Server Error",
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
        "<soap:Fault><soap:Reason><soap:Text>authentication failed for demo</soap:Text>"
        "</soap:Reason><soap:Detail><Error xmlns=\"urn:tovela\"><Code>account.AUTH_FAILED"
        "</Code></Error></soap:Detail></soap:Fault></soap:Body></soap:Envelope>");
}

// A session answer listing appointments (`Appt` elements).
inline HttpReply ListingAnswer(const std::string& appointments) {
    return HttpReply(200, "OK",
                     kEnvelopeHead +
                         "<BatchResponse xmlns=\"urn:tovela\"><SearchResponse "
                         "xmlns=\"urn:tovelaMail\">" +
                         appointments +
                         "</SearchResponse></BatchResponse></soap:Body></soap:Envelope>");
}

// One listed appointment with one occurrence; `extra` adds attributes.
inline std::string Appt(const std::string& id, std::int64_t startMs, std::int64_t durationMs,
                        const std::string& extra = "") {
    return "<appt id=\"" + id + "\" name=\"Review " + id + "\" d=\"" +
           std::to_string(durationMs) + "\" l=\"10\" invId=\"" + id + "-" + id + "\" " + extra +
           "><inst s=\"" + std::to_string(startMs) + "\"/></appt>";
}

}  // namespace tovela::testing

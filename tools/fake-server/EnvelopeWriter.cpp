#include "EnvelopeWriter.h"

#include <algorithm>
#include <string_view>

#include "MailboxWriter.h"

namespace tovela::fakeserver {

namespace {

// Operations the client sends without a namespace are answered without one.
std::string NsAttr(const std::string& ns) {
    return ns.empty() ? std::string() : XmlAttr("xmlns", ns);
}

std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + XmlEscape(text) + "</" + name + ">";
}

std::string SessionElement(const Scenario& scenario, const std::string& sessionId) {
    const std::string tag = SessionTag(scenario);
    return "<" + tag + XmlAttr("id", sessionId) + ">" + XmlEscape(sessionId) + "</" + tag + ">";
}

// The requested names present in `values`, in the order asked; all of them when none is named.
std::string NamedValues(const std::map<std::string, std::string>& values,
                        const std::vector<std::string>& requested, const std::string& element) {
    std::string out;
    for (const auto& [name, value] : values) {
        if (requested.empty() ||
            std::find(requested.begin(), requested.end(), name) != requested.end()) {
            out += "<" + element + XmlAttr("name", name) + ">" + XmlEscape(value) + "</" + element +
                   ">";
        }
    }
    return out;
}

std::string SignaturesResponse(const Scenario& scenario, const std::string& ns) {
    std::string out = "<GetSignaturesResponse" + NsAttr(ns) + ">";
    for (const Signature& sig : scenario.signatures) {
        out += "<signature" + XmlAttr("id", sig.id) + XmlAttr("name", sig.name) + "><content";
        if (!sig.type.empty()) out += XmlAttr("type", sig.type);
        out += ">" + XmlEscape(sig.content) + "</content></signature>";
    }
    return out + "</GetSignaturesResponse>";
}

std::string InfoResponse(const Scenario& scenario, const std::string& ns) {
    std::string out = "<GetInfoResponse" + NsAttr(ns);
    if (scenario.limits.attSizeLimit) out += XmlAttr("attSizeLimit", *scenario.limits.attSizeLimit);
    if (scenario.limits.docSizeLimit) out += XmlAttr("docSizeLimit", *scenario.limits.docSizeLimit);
    return out + ">" + Element("id", scenario.account.id) + Element("name", scenario.account.name) +
           "</GetInfoResponse>";
}

}  // namespace

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string XmlAttr(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + XmlEscape(value) + "\"";
}

std::string SessionTag(const Scenario& scenario) {
    return LeadingNumber(scenario.version) >= 6.0 ? "session" : "sessionId";
}

std::string ContextHeader(const Scenario& scenario, const std::string& sessionId, bool withMailbox,
                          const std::string& notify) {
    std::string out = "<context xmlns=\"urn:tovela\">";
    if (!sessionId.empty()) out += SessionElement(scenario, sessionId);
    out += "<change" + XmlAttr("token", scenario.changeToken) + "/>";
    out += "<refresh>" + Element("version", scenario.version) +
           (withMailbox ? RefreshContent(scenario) : "") + "</refresh>";
    return out + notify + "</context>";
}

std::string Envelope(const std::string& header, const std::string& body) {
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
           "<soap:Header>" +
           header + "</soap:Header><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

std::string FaultEnvelope(const std::string& text, const std::string& code) {
    const std::string body =
        "<soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code>"
        "<soap:Reason><soap:Text>" +
        XmlEscape(text) + "</soap:Text></soap:Reason><soap:Detail><Error xmlns=\"urn:tovela\">" +
        Element("Code", code) + "</Error></soap:Detail></soap:Fault>";
    return Envelope("<context xmlns=\"urn:tovela\"/>", body);
}

std::string AuthResponse(const Scenario& scenario, const ClientRequest& request,
                         const std::string& authToken, const std::string& sessionId) {
    return "<AuthResponse xmlns=\"urn:tovelaAccount\">" + Element("authToken", authToken) +
           Element("lifetime", scenario.lifetimeMs) + SessionElement(scenario, sessionId) +
           "<prefs>" + NamedValues(scenario.prefs, request.prefNames, "pref") + "</prefs>" +
           "<attrs>" + NamedValues(scenario.attrs, request.attrNames, "attr") + "</attrs>" +
           "</AuthResponse>";
}

std::string ReferralAuthResponse(const Scenario& scenario, const std::string& hostAndPort) {
    return "<AuthResponse xmlns=\"urn:tovelaAccount\">" + Element("lifetime", scenario.lifetimeMs) +
           Element("refer", hostAndPort) + "</AuthResponse>";
}

std::string OperationResponse(const Scenario& scenario, const Operation& operation) {
    const std::string name =
        operation.name.substr(0, operation.name.size() - std::string_view("Request").size()) +
        "Response";
    if (name == "GetSignaturesResponse") return SignaturesResponse(scenario, operation.ns);
    if (name == "GetInfoResponse") return InfoResponse(scenario, operation.ns);
    std::string start = "<" + name + NsAttr(operation.ns), content;
    if (name == "SearchResponse") start += " sortBy=\"dateAsc\" offset=\"0\" more=\"0\"";
    if (name == "SearchResponse" || name == "GetApptSummariesResponse") {
        content = ListedAppointments(scenario, operation);
    }
    return content.empty() ? start + "/>" : start + ">" + content + "</" + name + ">";
}

}  // namespace tovela::fakeserver

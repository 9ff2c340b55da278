#include "session/SoapRequests.h"

#include <initializer_list>

#include "app/Version.h"
#include "platform/XmlDocument.h"
#include "session/LeadingNumber.h"

namespace tovela {
namespace {

constexpr std::int64_t kWeekSeconds = 7 * 24 * 3600;

// Every line ends in CR LF but the closing "</Envelope>".
class EnvelopeWriter {
public:
    EnvelopeWriter() { Line(std::string("<Envelope xmlns=\"") + kSoapEnvelopeNamespace + "\">"); }
    EnvelopeWriter& Line(std::string_view line) {
        text_.append(line);
        text_.append("\r\n");
        return *this;
    }
    std::string Finish() && {
        text_.append("</Envelope>");
        return std::move(text_);
    }

private:
    std::string text_;
};

std::string VersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

}  // namespace

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
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
                out.push_back(c);
        }
    }
    return out;
}

bool IsVersionAtLeast(std::string_view serverVersion, double major) {
    return LeadingNumber(serverVersion) >= major;
}

std::string SessionTagFor(std::string_view serverVersion) {
    return IsVersionAtLeast(serverVersion, 6.0) ? "session" : "sessionId";
}

std::string BuildLoginBatch(std::string_view userName, std::string_view password) {
    EnvelopeWriter w;
    w.Line("<Header>")
        .Line("  <context xmlns=\"urn:tovela\">")
        .Line("    <session/>")
        .Line("    <sessionId/>")
        .Line("    <authToken></authToken>")
        .Line("  </context>")
        .Line("</Header>")
        .Line("  <Body>")
        .Line("  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">")
        .Line("    <AuthRequest xmlns=\"urn:tovelaAccount\">")
        .Line("      <account by=\"name\">" + XmlEscape(userName) + "</account>")
        .Line("      <password>" + XmlEscape(password) + "</password>")
        .Line("      <prefs>");
    for (const char* pref :
         {"tovelaPrefMailPollingInterval", "tovelaPrefCalendarApptReminderWarningTime",
          "tovelaPrefComposeFormat", "tovelaPrefDefaultSignatureId", "tovelaPrefFromAddress",
          "tovelaPrefFromDisplay", "tovelaPrefReplyToAddress", "tovelaPrefReplyToDisplay",
          "tovelaPrefReplyToEnabled"}) {
        w.Line(std::string("        <pref name=\"") + pref + "\" />");
    }
    w.Line("      </prefs>")
        .Line("      <attrs>")
        .Line("        <attr name=\"tovelaFeatureBriefcasesEnabled\" />")
        .Line("      </attrs>")
        .Line("    </AuthRequest>")
        .Line("    <GetSignaturesRequest xmlns=\"urn:tovelaAccount\" />")
        .Line("    <GetInfoRequest xmlns=\"urn:tovelaAccount\" sections=\"props\" />")
        .Line("  </BatchRequest>")
        .Line("  </Body>");
    return std::move(w).Finish();
}

std::string SessionContextHeader(const SessionContext& ctx, bool withChangeToken) {
    // The values are the server's own, read as text: escaped, so that one holding "<" or "&"
    // cannot break every request that follows.
    const std::string id = XmlEscape(ctx.sSessionId);
    std::string seq = ctx.sNotifySeq.empty() ? "" : " seq=\"" + XmlEscape(ctx.sNotifySeq) + "\"";
    return "<Header>\r\n"
           "  <context xmlns=\"urn:tovela\">\r\n"
           "    <authToken>" +
           XmlEscape(ctx.sAuthToken) +
           "</authToken>\r\n"
           "    <" +
           ctx.sSessionTag + seq + " id=\"" + id + "\">" + id + "</" + ctx.sSessionTag +
           ">\r\n"
           "    <userAgent name=\"" +
           std::string(kAppTitle) + "\" version=\"" + VersionText() + "\"/>\r\n" +
           (withChangeToken ? "    <change token=\"" + XmlEscape(ctx.sChangeToken) + "\"/>\r\n"
                            : "") +
           "  </context>\r\n"
           "</Header>\r\n";
}

std::string BuildSessionBatch(SessionContext& ctx, std::int64_t localNowSeconds) {
    ctx.sSessionTag = SessionTagFor(ctx.sServerVersion);
    const std::int64_t fromEpoch = localNowSeconds - ctx.dEpochLocal;
    const std::string start = std::to_string(fromEpoch * 1000);
    const std::string end = std::to_string((fromEpoch + kWeekSeconds) * 1000);

    std::string text = std::string("<Envelope xmlns=\"") + kSoapEnvelopeNamespace + "\">\r\n";
    text += SessionContextHeader(ctx);
    text += "<Body>\r\n";
    text += "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">\r\n";
    if (ctx.sSessionTag == "session") {
        text +=
            "    <SearchRequest xmlns=\"urn:tovelaMail\" types=\"appointment\" "
            "sortBy=\"dateAsc\" calExpandInstStart=\"" +
            start + "\" calExpandInstEnd=\"" + end + "\" >\r\n";
        text += "  <query>appt-start: &lt;+7day AND (is:local OR is:remote)</query>\r\n";
        text += "  </SearchRequest>\r\n";
    } else {
        text += "    <GetApptSummariesRequest xmlns=\"urn:tovelaMail\" s=\"" + start + "\" e=\"" +
                end + "\" id=\"0\"/>\r\n";
    }
    text += "  </BatchRequest>\r\n";
    text += "</Body>\r\n";
    text += "</Envelope>";
    return text;
}

std::string BuildCancelAppointmentRequest(const SessionContext& ctx, std::string_view sInvId,
                                          std::string_view occurrence) {
    std::string text = std::string("<Envelope xmlns=\"") + kSoapEnvelopeNamespace + "\">\r\n";
    text += SessionContextHeader(ctx, false);
    text += "<Body>\r\n";
    text += "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">\r\n";
    text += "   <CancelAppointmentRequest xmlns=\"urn:tovelaMail\" id=\"";
    text += sInvId;
    text += "\" comp=\"0\">\r\n";
    if (!occurrence.empty()) {
        text += "    <inst d=\"";
        text += occurrence;
        text += "\"/>\r\n";
    }
    text += "   </CancelAppointmentRequest>\r\n";
    text += "  </BatchRequest>\r\n";
    text += "</Body>\r\n";
    text += "</Envelope>";
    return text;
}

}  // namespace tovela

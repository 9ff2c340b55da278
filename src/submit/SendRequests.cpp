#include "submit/SendRequests.h"

#include <vector>

#include "platform/XmlDocument.h"
#include "session/LeadingNumber.h"
#include "session/SoapRequests.h"
#include "settings/AsciiText.h"
#include "submit/MessageBridge.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr const char* kCrLf = "\r\n";

bool Blank(std::string_view text) {
    return TrimBlanks(text).empty();
}

std::string EscapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// The body of an HTML message, the signature after it.
std::string HtmlWithSignature(std::string_view inner, const AccountPreferences& account) {
    std::string body =
        std::string("<HTML>") + kCrLf + "<BODY>" + kCrLf + std::string(inner) + kCrLf;
    if (account.bSignatureHtml) {
        body += "<br><br>-- <br><div>" + account.sSignature + "</div></BODY>";
    } else {
        body += "<br><br><PRE>--" + std::string(kCrLf) + EscapeMarkup(account.sSignature) +
                "</PRE></BODY>";
    }
    return body + kCrLf + "</HTML>";
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> items;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator)) {
        items.push_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    items.push_back(text);
    return items;
}

// "<e t=... a=... p=.../>" for the sender or the reply-to address.
std::string AddressLine(char type, const std::string& address, const std::string& name) {
    std::string line =
        "        <e t=\"" + std::string(1, type) + "\" a=\"" + XmlEscape(address) + "\"";
    if (!Blank(name)) line += " p=\"" + XmlEscape(name) + "\"";
    return line + "/>";
}

std::string RecipientLines(std::string_view recipients) {
    std::string lines;
    const std::vector<std::string_view> items = Split(recipients, '|');
    for (std::size_t i = 0; i < items.size(); i += 2) {
        std::string name = XmlEscape(items[i]);
        std::string address;
        if (i + 1 < items.size()) {
            std::string_view value = items[i + 1];
            if (AsciiLower(std::string(value.substr(0, 5))) == "smtp:") value.remove_prefix(5);
            if (!Blank(value)) address = XmlEscape(value);
        }
        // A name alone is the address.
        if (address.empty() && !name.empty()) std::swap(address, name);
        lines += "        <e t=\"t\"";
        if (!Blank(name)) lines += " p=\"" + name + "\"";
        lines += " a=\"" + address + "\" />" + kCrLf;
    }
    return lines;
}

std::string MessageRequest(Submission& s, const SessionContext& ctx,
                           const AccountPreferences& account, const HtmlServices& html) {
    const bool send = IsSendable(s);
    std::string flags = s.sAttachIds.empty() ? "" : "a";
    std::string text = send
                           ? "    <SendMsgRequest xmlns=\"urn:tovelaMail\" onerror=\"continue\">"
                           : "    <SaveDraftRequest xmlns=\"urn:tovelaMail\" onerror=\"continue\">";
    text += kCrLf;
    if (!send) flags += "d";
    text += "      <m";
    if (!account.sAccountId.empty()) text += " idnt=\"" + XmlEscape(account.sAccountId) + "\"";
    // Older servers read the message's flags from the request.
    if (LeadingNumber(ctx.sServerVersion) < 8.6) text += " f=\"" + flags + "\"";
    text += std::string(">") + kCrLf;

    if (s.sFromAddr.empty() && !account.sFromAddress.empty()) {
        s.sFromAddr = account.sFromAddress;
        s.sFromName = account.sFromDisplay;
        if (!account.sReplyToAddress.empty()) {
            s.sReplyToAddr = account.sReplyToAddress;
            s.sReplyToName = account.sReplyToDisplay;
        }
    }
    if (!Blank(s.sFromAddr)) text += AddressLine('f', s.sFromAddr, s.sFromName) + kCrLf;
    if (!Blank(s.sReplyToAddr)) text += AddressLine('r', s.sReplyToAddr, s.sReplyToName) + kCrLf;
    if (!Blank(s.sRecipients)) text += RecipientLines(s.sRecipients);
    text += "        <su>" + XmlEscape(s.sSubject) + "</su>" + kCrLf;

    BodyAndType body = ComposeBody(s.sBody, account, html);
    s.sBody = std::move(body.body);
    text += "        <mp body=\"1\"";
    if (!body.contentType.empty()) text += " ct=\"" + body.contentType + "\"";
    text += std::string(">") + kCrLf;
    text += "          <content>" + HtmlEscape(s.sBody) + "</content>" + kCrLf;
    text += std::string("        </mp>") + kCrLf;
    if (!s.sAttachIds.empty()) {
        text += "        <attach aid=\"" + XmlEscape(s.sAttachIds) + "\">" + kCrLf;
        text += std::string("        </attach>") + kCrLf;
    }
    text += std::string("      </m>") + kCrLf;
    text += send ? "    </SendMsgRequest>" : "    </SaveDraftRequest>";
    return text + kCrLf;
}

std::string BriefcaseBatch(const Submission& s) {
    std::string text =
        std::string("  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">") + kCrLf;
    const std::vector<std::string_view> ids = Split(s.sAttachIds, ',');
    for (std::size_t k = 0; k < ids.size(); ++k) {
        text += "    <SaveDocumentRequest xmlns=\"urn:tovelaMail\" requestId=\"" +
                std::to_string(k) + "\">" + kCrLf;
        text += std::string("        <doc l=\"16\">") + kCrLf;
        text += "           <upload id=\"" + XmlEscape(ids[k]) + "\">" + kCrLf;
        text += std::string("           </upload>") + kCrLf;
        text += std::string("        </doc>") + kCrLf;
        text += std::string("    </SaveDocumentRequest>") + kCrLf;
    }
    return text + "  </BatchRequest>" + kCrLf;
}

}  // namespace

bool IsSendable(const Submission& s) {
    std::string_view recipients = s.sRecipients;
    while (!recipients.empty() && recipients.back() == '|') recipients.remove_suffix(1);
    const bool send = !Blank(recipients) && (!Blank(s.sBody) || !Blank(s.sAttachIds));
    return send && !AsksForDialog(s.sMapiFlags);
}

BodyAndType ComposeBody(std::string_view body, const AccountPreferences& account,
                        const HtmlServices& html) {
    const bool signature = !Blank(account.sSignature);
    if (ContainsIgnoringCase(body, "</html>")) {
        if (!signature) return {std::string(body), "text/html"};
        // A message the engine cannot read keeps its markup as it came.
        std::optional<std::string> inner =
            html.bodyInnerHtml ? html.bodyInnerHtml(body) : std::nullopt;
        return {HtmlWithSignature(inner ? *inner : std::string(body), account), "text/html"};
    }
    if (AsciiLower(account.sComposeFormat) == "html") {
        std::string text(TrimBlanks(body));
        if (!text.empty()) text = "<PRE>" + EscapeMarkup(text) + "</PRE>";
        if (!signature) {
            return {std::string("<HTML>") + kCrLf + "<BODY>" + kCrLf + text + kCrLf + "</BODY>" +
                        kCrLf + "</HTML>",
                    "text/html"};
        }
        return {HtmlWithSignature(text, account), "text/html"};
    }
    std::string text(TrimBlanks(body));
    if (!signature) return {text, ""};
    std::string sig = account.sSignature;
    if (account.bSignatureHtml) {
        std::optional<std::string> plain = html.bodyText ? html.bodyText(sig) : std::nullopt;
        if (plain) sig = *plain;
    }
    return {std::string(kCrLf) + kCrLf + text + kCrLf + kCrLf + "-- " + kCrLf + sig + kCrLf, ""};
}

std::string BuildSubmissionRequest(Submission& s, const SessionContext& ctx,
                                   const AccountPreferences& account, const HtmlServices& html) {
    while (!s.sRecipients.empty() && s.sRecipients.back() == '|') s.sRecipients.pop_back();
    std::string text = std::string("<Envelope xmlns=\"") + kSoapEnvelopeNamespace + "\">" + kCrLf;
    text += SessionContextHeader(ctx);
    text += std::string("<Body>") + kCrLf;
    text += s.bToBriefcase && !s.sAttachIds.empty() ? BriefcaseBatch(s)
                                                    : MessageRequest(s, ctx, account, html);
    return text + "</Body>" + kCrLf + "</Envelope>";
}

}  // namespace tovela

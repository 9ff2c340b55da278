// The message a mail program hands over through the companion library: the text the
// library writes, the program's reader of it, and the send or draft request built from
// what was read.
//
// The first byte: bit 0 writes the message from fields first (the rest holds them,
// separated by 0x1F: sender name, sender address, subject, body, recipient name, recipient
// address, attachment path, attachment name), else the rest is the text as it arrives;
// bit 1 composes HTML, bit 2 adds an HTML signature, bit 3 files into the briefcase, bits
// 4-5 pick the recipient's class.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/SessionContext.h"
#include "settings/AsciiText.h"
#include "submit/FallbackHtmlEngine.h"
#include "submit/MapiMessageText.h"
#include "submit/MessageBridge.h"
#include "submit/SendRequests.h"
#include "submit/Utf16.h"
#include "xml/XmlEngine.h"

namespace {

std::vector<std::string> Fields(std::string_view text, std::size_t count) {
    std::vector<std::string> fields;
    while (fields.size() + 1 < count) {
        const std::size_t cut = text.find('\x1f');
        if (cut == std::string_view::npos) break;
        fields.emplace_back(text.substr(0, cut));
        text.remove_prefix(cut + 1);
    }
    fields.emplace_back(text);
    fields.resize(count);
    return fields;
}

// Text that XML 1.0 can carry at all: valid UTF-8 without control characters but tab and
// line breaks, and without U+FFFE and U+FFFF. Only for such text must the request be
// well-formed.
bool XmlCanCarry(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') return false;
    }
    const std::u16string units = tovela::ToUtf16(text);
    for (const char16_t unit : units) {
        if (unit == 0xFFFE || unit == 0xFFFF) return false;
    }
    return tovela::FromUtf16(units) == text;
}

// A value without a marker's "{" or a NUL comes through the writer unchanged.
bool Plain(std::string_view value) {
    return value.find_first_of(std::string_view("{\0", 2)) == std::string_view::npos;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string text(rest);
    if (mode & 0x01) {
        const std::vector<std::string> f = Fields(rest, 8);
        tovela::MapiMessageFields fields;
        fields.fromName = f[0];
        fields.fromAddress = f[1];
        fields.subject = f[2];
        fields.body = f[3];
        fields.recipients.push_back(
            {f[4], f[5], static_cast<tovela::MapiRecipientKind>(((mode >> 4) & 0x03) % 3)});
        fields.attachments.push_back({f[6], f[7]});
        text = tovela::MapiMessageText(fields);
        const tovela::BridgedMessage read = tovela::ParseMapiMessage(text);
        for (const auto& [written, got] :
             {std::pair{&fields.fromName, &read.sFromName},
              std::pair{&fields.fromAddress, &read.sFromAddr},
              std::pair{&fields.subject, &read.sSubject}, std::pair{&fields.body, &read.sBody}}) {
            if (Plain(*written)) Check(tovela::TrimBlanks(*written) == *got);
        }
    }

    const tovela::BridgedMessage message = tovela::ParseMapiMessage(text);
    tovela::AsksForDialog(message.sMapiFlags);

    tovela::Submission submission;
    submission.sFromAddr = message.sFromAddr;
    submission.sFromName = message.sFromName;
    submission.sRecipients = message.sRecipients;
    submission.sSubject = message.sSubject;
    submission.sBody = message.sBody;
    submission.sMapiFlags = message.sMapiFlags;
    submission.sAttachIds = message.sFiles.empty() ? "" : "id1,id2";
    submission.bToBriefcase = (mode & 0x08) != 0;
    tovela::SessionContext session;
    session.sAuthToken = "TOK";
    session.sSessionId = "S1";
    session.sServerVersion = "8.8.15_GA";
    session.sSessionTag = "session";
    tovela::AccountPreferences account;
    account.sFromAddress = "demo@example.com";
    if (mode & 0x02) account.sComposeFormat = "html";
    if (mode & 0x04) {
        account.sSignature = "<b>Taro</b> &amp; team";
        account.bSignatureHtml = true;
    }
    tovela::FallbackHtmlEngine engine;
    const tovela::HtmlServices html{
        [&engine](std::string_view h) { return engine.BodyInnerHtml(h); },
        [&engine](std::string_view h) { return engine.BodyText(h); }};
    const std::string request = tovela::BuildSubmissionRequest(submission, session, account, html);

    // Escaping must keep the request well-formed whatever the fields hold.
    if (XmlCanCarry(text)) {
        static const std::unique_ptr<tovela::XmlFactory> xml = tovela::testing::MakeXmlFactory();
        Check(xml->CreateDocument()->LoadXml(request));
    }
    return 0;
}

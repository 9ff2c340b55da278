#include "submit/MapiMessageOptions.h"

#include <charconv>

#include "submit/MapiMessageMarkers.h"

namespace tovela {

const std::string_view kMapiToolUsage =
    "Usage: tovela-sendmail [options]\n"
    "Hands one message to the running Tovela Notifier, which sends it through the server.\n"
    "  --from ADDRESS          sender address (default: the account's)\n"
    "  --from-name NAME        sender display name\n"
    "  --to RECIPIENT          a recipient, \"Name <address>\" or an address; repeatable\n"
    "  --cc RECIPIENT          a copy recipient; repeatable\n"
    "  --bcc RECIPIENT         a blind copy (the message is then kept as a draft to check)\n"
    "  --subject TEXT          the subject\n"
    "  --body TEXT             the body text (HTML when it contains </html>)\n"
    "  --body-file FILE        the body read from a UTF-8 file\n"
    "  --attach FILE           an attachment; repeatable\n"
    "  --as NAME               the name the recipient sees for the attachment before it\n"
    "  --flags NUMBER          Simple MAPI send flags, decimal or 0x hexadecimal\n"
    "  --dialog                keep the message as a draft and open webmail (flag 8)\n"
    "Exit status: 0 handed over, 1 no running program, 2 wrong arguments or files.\n";

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

MapiRecipient ParseMapiRecipient(std::string_view text, MapiRecipientKind kind) {
    text = Trimmed(text);
    const auto open = text.rfind('<');
    if (!text.empty() && text.back() == '>' && open != std::string_view::npos) {
        return {std::string(Trimmed(text.substr(0, open))),
                std::string(Trimmed(text.substr(open + 1, text.size() - open - 2))), kind};
    }
    return {"", std::string(text), kind};
}

namespace {

bool ParseFlags(std::string_view text, std::uint32_t& flags) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), flags, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

MapiToolRequest ParseMapiToolArguments(const std::vector<std::string>& args) {
    MapiToolRequest request;
    MapiMessageFields& m = request.message;
    bool haveBody = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            request.help = true;
            continue;
        }
        if (option == "--dialog") {
            m.flags |= kMapiDialogFlag;
            continue;
        }
        if (i + 1 >= args.size()) {
            request.error = option.rfind("--", 0) == 0 ? option + " needs a value"
                                                       : "unknown argument: " + option;
            return request;
        }
        const std::string& value = args[++i];
        if (option == "--from") {
            m.fromAddress = value;
        } else if (option == "--from-name") {
            m.fromName = value;
        } else if (option == "--to") {
            m.recipients.push_back(ParseMapiRecipient(value, MapiRecipientKind::To));
        } else if (option == "--cc") {
            m.recipients.push_back(ParseMapiRecipient(value, MapiRecipientKind::Cc));
        } else if (option == "--bcc") {
            m.recipients.push_back(ParseMapiRecipient(value, MapiRecipientKind::Bcc));
        } else if (option == "--subject") {
            m.subject = value;
        } else if (option == "--body" || option == "--body-file") {
            if (haveBody) {
                request.error = "give the body once, with --body or --body-file";
                return request;
            }
            haveBody = true;
            (option == "--body" ? m.body : request.bodyFile) = value;
        } else if (option == "--attach") {
            m.attachments.push_back({value, ""});
        } else if (option == "--as") {
            if (m.attachments.empty() || !m.attachments.back().name.empty()) {
                request.error = "--as names the attachment given just before it";
                return request;
            }
            m.attachments.back().name = value;
        } else if (option == "--flags") {
            std::uint32_t flags = 0;
            if (!ParseFlags(value, flags)) {
                request.error = "--flags takes a number: " + value;
                return request;
            }
            m.flags |= flags;
        } else {
            request.error = "unknown argument: " + option;
            return request;
        }
    }
    return request;
}

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovela {

enum class MapiRecipientKind { To, Cc, Bcc };

struct MapiRecipient {
    std::string name{};
    std::string address{};  // as the sender gave it, an "SMTP:" prefix included
    MapiRecipientKind kind = MapiRecipientKind::To;
};

struct MapiAttachment {
    std::string path{};  // absolute, as the running program must open it
    std::string name{};  // the name the recipient sees; empty for the path's file name
};

// One message handed to the running program, all texts in UTF-8.
struct MapiMessageFields {
    std::string fromName{};
    std::string fromAddress{};
    std::vector<MapiRecipient> recipients{};
    std::uint32_t flags = 0;  // the Simple MAPI send flags
    std::string subject{};
    std::string body{};
    std::vector<MapiAttachment> attachments{};
};

// The sections in marker order. What the text cannot carry is adjusted rather than lost:
// a "|" inside a list item becomes U+FF5C and a double quote inside an attachment name
// becomes U+FF02 (both look alike and would otherwise split or unquote the item); a marker
// text inside a value has its letter case turned round (the same GUID, no longer a
// marker); NUL characters are dropped; pairs without a path or without name and address
// are left out; an attachment without a name gets its path's file name. The reader never
// sees a class per recipient, so a message with blind copies is flagged for the dialog: it
// becomes a draft the user checks instead of a message that shows every address.
std::string MapiMessageText(const MapiMessageFields& message);

// What the library and the command-line tool send: the UTF-8 byte-order mark, then the text.
std::string MapiMessagePayload(const MapiMessageFields& message);

// The text after the last "\" or "/".
std::string_view PathFileName(std::string_view path);

}  // namespace tovela

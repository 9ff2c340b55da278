#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovela {

// The value of section `index` (0 to 5) of a message from the mail library: the text after
// its marker up to the next marker that follows in the expected order, blanks trimmed;
// empty when the section is missing.
std::string GetMapiField(std::string_view message, std::size_t index);

// A message from the mail library, as the upload and the send request take it.
struct BridgedMessage {
    std::string sFiles{};      // the attachments' paths, each in double quotes, blank-separated
    std::string sFileNames{};  // their display names in the same form and order
    std::string sFromAddr{};
    std::string sFromName{};
    std::string sRecipients{};  // name|address|name|address...
    std::string sSubject{};
    std::string sBody{};
    std::string sMapiFlags{};  // the send flags with their enclosing characters, "(8)"
};

BridgedMessage ParseMapiMessage(std::string_view message);

// Whether the send flags ask to see the message first (MAPI_DIALOG): the number between
// the first and the last character has bit 8 set. "8" alone (no enclosing characters)
// does not.
bool AsksForDialog(std::string_view sMapiFlags);

}  // namespace tovela

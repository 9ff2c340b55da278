#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "submit/MapiMessageText.h"

namespace tovela {

// The command line of tovela-sendmail, the tool that hands one message to the running
// program as the companion mail library does.
struct MapiToolRequest {
    MapiMessageFields message{};
    std::string bodyFile{};  // read into the body by the tool, when given
    bool help = false;
    std::string error{};  // a usage error; nothing is to be sent
};

MapiToolRequest ParseMapiToolArguments(const std::vector<std::string>& args);

// "Name <address>" or a bare address.
MapiRecipient ParseMapiRecipient(std::string_view text, MapiRecipientKind kind);

extern const std::string_view kMapiToolUsage;

}  // namespace tovela

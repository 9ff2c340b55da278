#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/DebugLog.h"

namespace tovela {

// The kinds of WM_COPYDATA the running instance understands. The companion mail library
// sends Mapi; a second start of the program sends the others.
enum class RequestKind : std::uint32_t {
    Abre = 1721,      // open the webmail, or compose when the text came from a mailto: link
    Upload = 1722,    // file paths to upload
    Mapi = 1723,      // a serialised message from the companion library
    Settings = 1724,  // show the settings window
};

// What a second start hands to the running instance.
struct ForwardedRequest {
    RequestKind kind = RequestKind::Abre;
    // Base64 of the processed command line's UTF-16LE code units, sent as single-byte text
    // with a NUL after it; nothing for an empty command line.
    std::optional<std::string> payload;
};

// Turns a second start's command line (everything after the program's name) into the
// request for the running instance. Writes the "Commandline: " trace line.
ForwardedRequest BuildForwardedRequest(std::string_view commandLine, DebugLog& log);

}  // namespace tovela

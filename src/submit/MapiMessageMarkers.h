#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tovela {

// The serialised message of the companion mail library: seven sections, each opened by one
// of these fixed texts, written (and expected) in this order. The reader compares them
// exactly, letter case included.
inline constexpr std::array<std::string_view, 7> kMapiMarkers = {
    "{3D8B7E87-3233-4397-8F38-E4126BA6DD12}",  // sender display name
    "{5703C4FA-4EFB-4000-BB3B-35103519DD05}",  // sender address
    "{627B86DD-1097-43b9-AB1C-FB86780CBD7E}",  // recipients: name|address|name|address...
    "{AB437657-C3C4-4ab7-8E29-02EE3F6201D0}",  // send flags, a decimal number in brackets
    "{85FD0ACD-93BA-4470-9C36-118479989F1C}",  // subject
    "{963EB854-9700-44bd-AF1F-1594FBA1526C}",  // body
    "{F4F1F88E-E7EC-41d8-B501-D737581ED094}",  // attachments: path|name|path|name...
};
inline constexpr std::size_t kMapiMarkerLength = 38;

// A payload that starts with these bytes is UTF-8; without them it is in the ANSI code page.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The Simple MAPI flag that asks to see the message before it goes: it becomes a draft.
inline constexpr std::uint32_t kMapiDialogFlag = 0x8;

}  // namespace tovela

#pragma once

#include <string>
#include <string_view>

namespace tovela {

// Character data of HTML with its character references replaced: the common named ones
// (with their ";"), decimal and hexadecimal ones (the ";" may be missing, as browsers
// allow). A number that names no character gives U+FFFD; 128 to 159 are read as the
// Windows-1252 characters that HTML maps them to. Unknown names stay as written.
std::string DecodeHtmlEntities(std::string_view text);

}  // namespace tovela

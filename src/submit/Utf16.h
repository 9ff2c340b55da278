#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text in the core is UTF-8. The few rules that count UTF-16 code units go through these
// helpers so the unit is visible where they are used.
namespace tovela {

// Malformed UTF-8 becomes U+FFFD, one per bad byte.
std::u16string ToUtf16(std::string_view utf8);
// A lone surrogate becomes U+FFFD; a valid pair becomes one four-byte sequence.
std::string FromUtf16(std::u16string_view utf16);
// Number of UTF-16 code units of the text.
std::size_t Utf16Length(std::string_view utf8);
// The first `units` UTF-16 code units of the text, never splitting a surrogate pair.
std::string LeftUtf16(std::string_view utf8, std::size_t units);

}  // namespace tovela

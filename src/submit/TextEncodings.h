#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovela {

// UTF-8 bytes of a text given as UTF-16 code units. A valid surrogate pair becomes one
// four-byte sequence; a lone surrogate becomes U+FFFD.
std::string Ansi2Utf8(std::u16string_view sCadena);

// RFC 2047 "Q" encoded-words (charset utf-8) for a file name given as bytes. Pieces of at
// most 70 bytes, cut at a character boundary; pure-ASCII pieces stay as they are.
std::string QEncodeWord(std::string_view bytes);

// The text with the ASCII letters changed case; every other byte stays (UTF-8 is safe).
std::string AsciiUpper(std::string text);
std::string AsciiLower(std::string text);

// "&", "<", ">" to entities, in that order; quotes stay.
std::string HtmlEscape(std::string_view sCadena);

// Base64 (RFC 4648, padded) of the text's UTF-16LE code units; the text is UTF-8.
std::string Base64Encode(std::string_view text);
// Base64 of raw bytes.
std::string Base64EncodeBytes(std::string_view bytes);

// The text whose UTF-16LE code units are the decoded bytes, as UTF-8. White space inside
// the input is ignored, missing padding is accepted, an odd trailing byte is dropped, and
// anything else that is not Base64 gives nothing. Lone surrogates come out as U+FFFD.
std::optional<std::string> Base64Decode(std::string_view base64);
// The decoded bytes themselves.
std::optional<std::string> Base64DecodeBytes(std::string_view base64);

}  // namespace tovela

// The text conversions: UTF-8 and UTF-16, Base64 of both, the encoded words of file names,
// HTML escapes and entities, and the portable HTML engine that merges signatures.
//
// The first byte is the number of UTF-16 units LeftUtf16 keeps; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "submit/FallbackHtmlEngine.h"
#include "submit/HtmlEntities.h"
#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t units = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Bad bytes become U+FFFD; what comes out is valid and stays as it is.
    const std::u16string utf16 = tovela::ToUtf16(text);
    const std::string clean = tovela::FromUtf16(utf16);
    Check(tovela::Utf16Length(text) == utf16.size());
    Check(tovela::FromUtf16(tovela::ToUtf16(clean)) == clean);
    Check(tovela::LeftUtf16(text, utf16.size()) == clean);
    const std::string left = tovela::LeftUtf16(text, units);
    Check(tovela::Utf16Length(left) <= units && StartsWith(clean, left));

    // The same bytes as UTF-16LE code units from another program.
    std::u16string raw(text.size() / 2, u'\0');
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<char16_t>(static_cast<unsigned char>(text[2 * i]) |
                                       static_cast<unsigned char>(text[2 * i + 1]) << 8);
    }
    const std::string fromRaw = tovela::Ansi2Utf8(raw);
    Check(tovela::FromUtf16(tovela::ToUtf16(fromRaw)) == fromRaw);

    Check(tovela::Base64Decode(tovela::Base64Encode(text)) == clean);
    Check(tovela::Base64DecodeBytes(tovela::Base64EncodeBytes(text)) == std::string(text));
    const auto decoded = tovela::Base64Decode(text);
    Check(decoded.has_value() == tovela::Base64DecodeBytes(text).has_value());

    const std::string words = tovela::QEncodeWord(text);
    for (const char c : words) Check(static_cast<unsigned char>(c) < 0x80);
    Check(tovela::AsciiUpper(std::string(text)).size() == text.size());
    Check(tovela::AsciiLower(std::string(text)).size() == text.size());
    const std::string escaped = tovela::HtmlEscape(text);
    Check(escaped.find_first_of("<>") == std::string::npos);
    tovela::DecodeHtmlEntities(text);

    tovela::FallbackHtmlEngine html;
    html.BodyInnerHtml(text);
    html.BodyText(text);
    return 0;
}

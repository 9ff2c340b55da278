#include "submit/Utf16.h"

namespace tovela {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

struct Decoded {
    char32_t codePoint;
    std::size_t length;  // bytes taken from the input
    bool valid;
};

constexpr bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The character that starts at `pos`. Only shortest forms of scalar values are accepted, so an
// overlong form or an encoded surrogate cannot smuggle a character past a check made on the
// decoded text; a byte that does not start a well-formed sequence stands alone as U+FFFD.
Decoded DecodeAt(std::string_view utf8, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) return {lead, 1, true};

    const Decoded bad{kReplacement, 1, false};
    std::size_t length = 0;
    char32_t codePoint = 0;
    // The second byte's range is what rules out overlong forms, surrogates and values above
    // U+10FFFF; later continuation bytes may be anything from 0x80 to 0xBF.
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        if (lead == 0xE0) secondMin = 0xA0;
        if (lead == 0xED) secondMax = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        if (lead == 0xF0) secondMin = 0x90;
        if (lead == 0xF4) secondMax = 0x8F;
    } else {
        return bad;
    }
    if (utf8.size() - pos < length) return bad;

    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(utf8[pos + k]);
        const bool inRange = k == 1 ? byte >= secondMin && byte <= secondMax : IsContinuation(byte);
        if (!inRange) return bad;
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    return {codePoint, length, true};
}

constexpr std::size_t Utf16Units(char32_t codePoint) {
    return codePoint >= 0x10000 ? 2 : 1;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    const auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (codePoint < 0x80) {
        put(codePoint);
    } else if (codePoint < 0x800) {
        put(0xC0 | (codePoint >> 6));
        put(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        put(0xE0 | (codePoint >> 12));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    } else {
        put(0xF0 | (codePoint >> 18));
        put(0x80 | ((codePoint >> 12) & 0x3F));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    }
}

constexpr bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded ch = DecodeAt(utf8, pos);
        if (ch.codePoint >= 0x10000) {
            const char32_t offset = ch.codePoint - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(ch.codePoint));
        }
        pos += ch.length;
    }
    return out;
}

std::string FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (IsHighSurrogate(unit) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
            const char16_t low = utf16[++i];
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{low} - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out.append(kReplacementUtf8);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded ch = DecodeAt(utf8, pos);
        units += Utf16Units(ch.codePoint);
        pos += ch.length;
    }
    return units;
}

std::string LeftUtf16(std::string_view utf8, std::size_t units) {
    // The result is what FromUtf16 would give for the first units of ToUtf16, so a bad byte in
    // the input comes out as U+FFFD here too.
    std::string out;
    std::size_t taken = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded ch = DecodeAt(utf8, pos);
        const std::size_t chUnits = Utf16Units(ch.codePoint);
        if (chUnits > units - taken) break;
        taken += chUnits;
        if (ch.valid) {
            out.append(utf8.substr(pos, ch.length));
        } else {
            out.append(kReplacementUtf8);
        }
        pos += ch.length;
    }
    return out;
}

}  // namespace tovela

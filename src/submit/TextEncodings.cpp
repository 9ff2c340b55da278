#include "submit/TextEncodings.h"

#include <array>
#include <cstdint>
#include <utility>

#include "submit/Utf16.h"

namespace tovela {
namespace {

// Keeps every encoded-word, with its "=?utf-8?Q?" and "?=", well inside a header line.
constexpr std::size_t kMaxPieceBytes = 70;

constexpr bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Bytes of the character that starts at `pos`: the length its lead byte announces, shortened to
// the continuation bytes actually there. A stray continuation byte counts alone, so a cut can
// always be made after it.
std::size_t CharacterLength(std::string_view bytes, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    std::size_t announced = 1;
    if ((lead & 0xE0) == 0xC0) {
        announced = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        announced = 3;
    } else if ((lead & 0xF8) == 0xF0) {
        announced = 4;
    }
    std::size_t length = 1;
    while (length < announced && pos + length < bytes.size() &&
           IsContinuation(static_cast<unsigned char>(bytes[pos + length]))) {
        ++length;
    }
    return length;
}

bool IsAlphanumeric(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= 'a' && byte <= 'z');
}

void AppendQPiece(std::string& out, std::string_view piece) {
    bool plain = true;
    for (const char c : piece) plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (plain) {
        out.append(piece);
        return;
    }
    constexpr std::string_view kHex = "0123456789ABCDEF";
    out.append("=?utf-8?Q?");
    for (const char c : piece) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            out.push_back('_');
        } else if (IsAlphanumeric(byte)) {
            out.push_back(c);
        } else {
            out.push_back('=');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    out.append("?=");
}

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Collects bytes and writes a Base64 character for every six bits.
class Base64Writer {
public:
    explicit Base64Writer(std::size_t byteCount) { out_.reserve((byteCount + 2) / 3 * 4); }

    void Put(unsigned char byte) {
        group_ = (group_ << 8) | byte;
        if (++count_ == 3) {
            PutSextets(4);
            group_ = 0;
            count_ = 0;
        }
    }

    std::string Finish() && {
        if (count_ == 1) {
            group_ <<= 16;
            PutSextets(2);
            out_.append("==");
        } else if (count_ == 2) {
            group_ <<= 8;
            PutSextets(3);
            out_.push_back('=');
        }
        return std::move(out_);
    }

private:
    // Writes the top `n` sextets of the 24-bit group.
    void PutSextets(int n) {
        for (int i = 0; i < n; ++i)
            out_.push_back(kBase64Alphabet[(group_ >> (18 - 6 * i)) & 0x3F]);
    }

    std::string out_;
    std::uint32_t group_ = 0;
    int count_ = 0;
};

constexpr std::int8_t kInvalid = -1;
constexpr std::int8_t kSpace = -2;
constexpr std::int8_t kPad = -3;

constexpr std::array<std::int8_t, 256> kBase64Values = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(kInvalid);
    for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
        values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
    }
    for (const char c : {' ', '\t', '\r', '\n'}) values[static_cast<unsigned char>(c)] = kSpace;
    values['='] = kPad;
    return values;
}();

// Decodes into `sink`, one byte at a time. Padding may be left out, but where it is given it
// must be complete and last; a final group of a single character carries no whole byte and is
// rejected. Bits left over in the last character are ignored, as most encoders leave them zero
// and nothing here depends on them.
template <typename ByteSink>
bool DecodeBase64(std::string_view base64, ByteSink&& sink) {
    std::uint32_t group = 0;
    int sextets = 0;
    int padding = 0;
    for (const char c : base64) {
        const std::int8_t value = kBase64Values[static_cast<unsigned char>(c)];
        if (value == kSpace) continue;
        if (value == kPad) {
            if (++padding > 2) return false;
            continue;
        }
        if (value == kInvalid || padding > 0) return false;
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (++sextets == 4) {
            sink(static_cast<unsigned char>(group >> 16));
            sink(static_cast<unsigned char>(group >> 8));
            sink(static_cast<unsigned char>(group));
            group = 0;
            sextets = 0;
        }
    }
    switch (sextets) {
        case 0:
            return padding == 0;
        case 2:
            if (padding == 1) return false;
            sink(static_cast<unsigned char>(group >> 4));
            return true;
        case 3:
            if (padding == 2) return false;
            sink(static_cast<unsigned char>(group >> 10));
            sink(static_cast<unsigned char>(group >> 2));
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string Ansi2Utf8(std::u16string_view sCadena) {
    return FromUtf16(sCadena);
}

std::string QEncodeWord(std::string_view bytes) {
    // Pieces are cut after whole characters so that every encoded-word decodes on its own;
    // mail readers show a character split across two words as two replacement marks.
    std::string out;
    out.reserve(bytes.size());
    std::size_t pieceStart = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = CharacterLength(bytes, pos);
        if (pos + length - pieceStart > kMaxPieceBytes) {
            AppendQPiece(out, bytes.substr(pieceStart, pos - pieceStart));
            pieceStart = pos;
        }
        pos += length;
    }
    AppendQPiece(out, bytes.substr(pieceStart));
    return out;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string HtmlEscape(std::string_view sCadena) {
    // One pass gives the same as replacing "&" first, then "<", then ">": the entities the
    // later replacements add are never escaped again.
    std::string out;
    out.reserve(sCadena.size());
    for (const char c : sCadena) {
        switch (c) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string Base64Encode(std::string_view text) {
    const std::u16string units = ToUtf16(text);
    Base64Writer writer(units.size() * 2);
    for (const char16_t unit : units) {
        writer.Put(static_cast<unsigned char>(unit & 0xFF));
        writer.Put(static_cast<unsigned char>(unit >> 8));
    }
    return std::move(writer).Finish();
}

std::string Base64EncodeBytes(std::string_view bytes) {
    Base64Writer writer(bytes.size());
    for (const char c : bytes) writer.Put(static_cast<unsigned char>(c));
    return std::move(writer).Finish();
}

std::optional<std::string> Base64Decode(std::string_view base64) {
    std::u16string units;
    units.reserve(base64.size() / 8 * 3);
    int pendingLow = -1;
    const bool ok = DecodeBase64(base64, [&](unsigned char byte) {
        if (pendingLow < 0) {
            pendingLow = byte;
        } else {
            units.push_back(static_cast<char16_t>(pendingLow | (byte << 8)));
            pendingLow = -1;
        }
    });
    if (!ok) return std::nullopt;
    return FromUtf16(units);
}

std::optional<std::string> Base64DecodeBytes(std::string_view base64) {
    std::string bytes;
    bytes.reserve(base64.size() / 4 * 3);
    const bool ok =
        DecodeBase64(base64, [&](unsigned char byte) { bytes.push_back(static_cast<char>(byte)); });
    if (!ok) return std::nullopt;
    return bytes;
}

}  // namespace tovela

#include "submit/HtmlEntities.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tovela {
namespace {

struct NamedEntity {
    std::string_view name;
    char32_t code;
};

constexpr std::size_t kLongestName = 6;

// Sorted by name for the binary search.
constexpr NamedEntity kNamed[] = {
    {"AElig", 0xC6},  {"Aacute", 0xC1},   {"Agrave", 0xC0},  {"Auml", 0xC4},    {"Ccedil", 0xC7},
    {"Eacute", 0xC9}, {"Egrave", 0xC8},   {"Ntilde", 0xD1},  {"Oacute", 0xD3},  {"Ouml", 0xD6},
    {"Uacute", 0xDA}, {"Uuml", 0xDC},     {"aacute", 0xE1},  {"acirc", 0xE2},   {"aelig", 0xE6},
    {"agrave", 0xE0}, {"amp", '&'},       {"apos", '\''},    {"auml", 0xE4},    {"bull", 0x2022},
    {"ccedil", 0xE7}, {"cent", 0xA2},     {"copy", 0xA9},    {"deg", 0xB0},     {"divide", 0xF7},
    {"eacute", 0xE9}, {"ecirc", 0xEA},    {"egrave", 0xE8},  {"euml", 0xEB},    {"euro", 0x20AC},
    {"gt", '>'},      {"hellip", 0x2026}, {"iacute", 0xED},  {"iexcl", 0xA1},   {"iquest", 0xBF},
    {"laquo", 0xAB},  {"ldquo", 0x201C},  {"lsquo", 0x2018}, {"lt", '<'},       {"mdash", 0x2014},
    {"middot", 0xB7}, {"nbsp", 0xA0},     {"ndash", 0x2013}, {"ntilde", 0xF1},  {"oacute", 0xF3},
    {"ouml", 0xF6},   {"para", 0xB6},     {"plusmn", 0xB1},  {"pound", 0xA3},   {"quot", '"'},
    {"raquo", 0xBB},  {"rdquo", 0x201D},  {"reg", 0xAE},     {"rsquo", 0x2019}, {"sect", 0xA7},
    {"shy", 0xAD},    {"szlig", 0xDF},    {"times", 0xD7},   {"trade", 0x2122}, {"uacute", 0xFA},
    {"uuml", 0xFC},   {"yen", 0xA5},
};
static_assert(std::is_sorted(std::begin(kNamed), std::end(kNamed),
                             [](const NamedEntity& a, const NamedEntity& b) {
                                 return a.name < b.name;
                             }));

// What HTML makes of the numbers 128 to 159: the Windows-1252 characters; 0 where that
// code page has none and the number stands for itself.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char32_t FromNumber(std::uint32_t number) {
    if (number >= 0x80 && number <= 0x9F && kWindows1252[number - 0x80] != 0) {
        return kWindows1252[number - 0x80];
    }
    if (number == 0 || number > 0x10FFFF || (number >= 0xD800 && number <= 0xDFFF)) {
        return 0xFFFD;
    }
    return number;
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A reference at `at` (just after "&"): the character and where the text goes on, or
// false when none is there.
bool ReadReference(std::string_view text, std::size_t& at, char32_t& code) {
    if (at < text.size() && text[at] == '#') {
        std::size_t i = at + 1;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        const std::size_t digits = i;
        std::uint32_t number = 0;
        for (int d; i < text.size() && (d = DigitValue(text[i], hex)) >= 0; ++i) {
            // Anything past the last code point stays out of range without overflowing.
            number = std::min<std::uint32_t>(number * (hex ? 16 : 10) + d, 0x110000);
        }
        if (i == digits) return false;
        if (i < text.size() && text[i] == ';') ++i;
        code = FromNumber(number);
        at = i;
        return true;
    }
    // Names are short; looking no further keeps a text full of "&" linear.
    const std::size_t semicolon = text.substr(0, at + kLongestName + 1).find(';', at);
    if (semicolon == std::string_view::npos) return false;
    const std::string_view name = text.substr(at, semicolon - at);
    const auto* found = std::lower_bound(
        std::begin(kNamed), std::end(kNamed), name,
        [](const NamedEntity& entity, std::string_view key) { return entity.name < key; });
    if (found == std::end(kNamed) || found->name != name) return false;
    code = found->code;
    at = semicolon + 1;
    return true;
}

}  // namespace

std::string DecodeHtmlEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t amp = text.find('&', at);
        out.append(text.substr(at, amp == std::string_view::npos ? amp : amp - at));
        if (amp == std::string_view::npos) break;
        at = amp + 1;
        char32_t code = 0;
        if (ReadReference(text, at, code)) {
            AppendUtf8(out, code);
        } else {
            out += '&';
        }
    }
    return out;
}

}  // namespace tovela

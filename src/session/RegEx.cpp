#include "session/RegEx.h"

#include <boost/regex.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

#include "submit/Utf16.h"

// Boost.Regex works on wide characters here: wchar_t holds UTF-16 code units on Windows
// and code points on Linux, so "." and classes see whole characters of the folder names and
// tags the program matches (only a character outside the BMP differs between the builds).
namespace tovela {
namespace {

// Ignoring case must not depend on what the C library's current locale knows, and must be
// the same in both builds: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the
// fullwidth Latin letters that Japanese text uses.
wchar_t FoldCase(wchar_t wide) {
    const auto c = static_cast<std::uint32_t>(wide);
    std::uint32_t lower = c;
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F) ||
        (c >= 0xFF21 && c <= 0xFF3A)) {
        lower = c + 0x20;
    } else if (c >= 0x400 && c <= 0x40F) {
        lower = c + 0x50;
    } else if ((c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177)) {
        lower = c | 1;  // upper case even, lower case odd
    } else if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        lower = c + (c & 1);  // upper case odd, lower case even
    } else if (c == 0x130) {
        lower = 'i';
    } else if (c == 0x178) {
        lower = 0xFF;
    } else if (c == 0x386) {
        lower = 0x3AC;
    } else if (c >= 0x388 && c <= 0x38A) {
        lower = c + 37;
    } else if (c == 0x38C) {
        lower = 0x3CC;
    } else if (c == 0x38E || c == 0x38F) {
        lower = c + 63;
    }
    return static_cast<wchar_t>(lower);
}

class FoldingTraits : public boost::cpp_regex_traits<wchar_t> {
public:
    wchar_t translate(wchar_t c) const { return c; }
    wchar_t translate(wchar_t c, bool icase) const { return icase ? FoldCase(c) : c; }
    wchar_t translate_nocase(wchar_t c) const { return FoldCase(c); }
    wchar_t tolower(wchar_t c) const { return FoldCase(c); }
};

using WideRegex = boost::basic_regex<wchar_t, FoldingTraits>;

std::wstring ToWide(std::string_view utf8) {
    const std::u16string units = ToUtf16(utf8);
    std::wstring wide;
    wide.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (sizeof(wchar_t) >= 4 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            const char32_t low = units[++i];
            wide += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            wide += static_cast<wchar_t>(unit);
        }
    }
    return wide;
}

std::string FromWide(const std::wstring& wide) {
    std::u16string units;
    units.reserve(wide.size());
    for (const wchar_t c : wide) {
        const auto code = static_cast<char32_t>(c);
        if (code > 0xFFFF) {
            units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(code);
        }
    }
    return FromUtf16(units);
}

// The last pattern compiled by one function; the callers test many texts against the same
// filter in a row. Single UI thread, so a plain static serves.
struct PatternCache {
    bool filled = false;
    std::string text;
    bool ignoreCase = false;
    bool valid = false;
    WideRegex regex;
};

const WideRegex* Compile(PatternCache& cache, std::string_view pattern, bool ignoreCase) {
    if (!cache.filled || cache.text != pattern || cache.ignoreCase != ignoreCase) {
        cache.filled = true;
        cache.text.assign(pattern);
        cache.ignoreCase = ignoreCase;
        auto flags = boost::regex_constants::ECMAScript | boost::regex_constants::no_mod_m |
                     boost::regex_constants::no_mod_s;
        if (ignoreCase) flags |= boost::regex_constants::icase;
        try {
            cache.regex.assign(ToWide(pattern), flags);
            cache.valid = true;
        } catch (...) {
            cache.valid = false;
        }
    }
    return cache.valid ? &cache.regex : nullptr;
}

using WideMatch = boost::match_results<std::wstring::const_iterator>;
using WideMatches = boost::regex_iterator<std::wstring::const_iterator, wchar_t, FoldingTraits>;

void AppendExpansion(std::wstring& out, const std::wstring& replacement, const WideMatch& match) {
    const std::size_t groups = match.size();  // the whole match plus every group
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const wchar_t c = replacement[i];
        const wchar_t next = i + 1 < replacement.size() ? replacement[i + 1] : L'\0';
        if (c == L'$' && next >= L'1' && next <= L'9' &&
            static_cast<std::size_t>(next - L'0') < groups) {
            out += match[static_cast<int>(next - L'0')].str();
            ++i;
        } else if (c == L'$' && next == L'&') {
            out += match[0].str();
            ++i;
        } else if (c == L'$' && next == L'$') {
            out += L'$';
            ++i;
        } else {
            out += c;
        }
    }
}

}  // namespace

bool RegExTest(std::string_view pattern, std::string_view text, bool ignoreCase) {
    if (pattern.empty() && !text.empty()) return false;
    static PatternCache cache;
    try {
        const WideRegex* regex = Compile(cache, pattern, ignoreCase);
        if (regex == nullptr) return false;
        const std::wstring wide = ToWide(text);
        return boost::regex_search(wide, *regex);
    } catch (...) {
        // Too much backtracking (or memory) for this text: no match.
        return false;
    }
}

std::string RegExReplace(std::string_view pattern, std::string_view text,
                         std::string_view replacement, bool ignoreCase, bool global) {
    static PatternCache cache;
    try {
        const WideRegex* regex = Compile(cache, pattern, ignoreCase);
        if (regex == nullptr) return std::string(text);
        const std::wstring wide = ToWide(text);
        const std::wstring with = ToWide(replacement);
        std::wstring out;
        auto copied = wide.cbegin();
        bool matched = false;
        for (WideMatches it(wide.cbegin(), wide.cend(), *regex), end; it != end; ++it) {
            matched = true;
            out.append(copied, (*it)[0].first);
            AppendExpansion(out, with, *it);
            copied = (*it)[0].second;
            if (!global) break;
        }
        if (!matched) return std::string(text);
        out.append(copied, wide.cend());
        return FromWide(out);
    } catch (...) {
        return std::string(text);
    }
}

}  // namespace tovela

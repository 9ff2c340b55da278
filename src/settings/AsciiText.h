#pragma once

#include <algorithm>
#include <string_view>

namespace tovela {

// Blanks are spaces only, as the classic Trim removes them.
inline std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Letter case is folded for ASCII only; Japanese text has no case to fold.
inline bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                   [&](char a, char b) { return fold(a) == fold(b); });
    return found != text.end() || part.empty();
}

}  // namespace tovela

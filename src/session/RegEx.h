#pragma once

#include <string>
#include <string_view>

// Regular expressions on UTF-8 text, in the ECMAScript dialect: "^" and "$" anchor at the
// ends of the whole text only, "." matches neither CR nor LF, "\r" and "\n" are escapes.
// A pattern that does not compile, or a search that runs into the engine's backtracking
// bound, counts as no match; nothing is thrown.
namespace tovela {

// Whether the pattern matches anywhere in the text. An empty pattern matches only an
// empty text (an empty filter lets nothing through).
bool RegExTest(std::string_view pattern, std::string_view text, bool ignoreCase);

// Replaces the first match, or every match when `global` is set. In the replacement "$1" to
// "$9" stand for the captured groups (empty when a group took no part in the match), "$&"
// for the whole match and "$$" for a dollar sign; everything else, backslashes included,
// is literal. A text without a match, or a bad pattern, comes back unchanged.
std::string RegExReplace(std::string_view pattern, std::string_view text,
                         std::string_view replacement, bool ignoreCase, bool global);

}  // namespace tovela

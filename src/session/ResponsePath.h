#pragma once

#include <string>
#include <string_view>

namespace tovela {

// Translates a response path as the program writes it into the XPath 1.0 that both XML
// back ends evaluate:
//   "/" and "//" steps, "@name" attribute steps, "*", "." and "..";
//   "soap:Name" kept as is (the back ends bind "soap" to the SOAP 1.2 envelope namespace);
//   any other element name matched by local name in whatever namespace the server chose,
//   "name" -> "*[local-name()='name']";
//   alternatives inside one step, "(a|b)" -> "*[local-name()='a' or local-name()='b']";
//   predicates on attributes, "[@a='v']", "[@a=\"v\"]" and "[@a]", kept as written.
// Relative paths ("content", "@id", "e[@t='f']") stay relative to the context node.
// A path outside this language (a trailing "/" because a name built at run time came out
// empty, a quote inside a value, an unknown prefix) gives an empty text, which selects
// nothing. Translations are cached, so each distinct path text is parsed once.
std::string ToXPath(std::string_view path);

}  // namespace tovela

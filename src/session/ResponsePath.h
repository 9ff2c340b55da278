#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// A step that a walk over child elements answers exactly as its XPath would: elements whose
// local name is one of `names` (any namespace), or any element when `names` is empty, that
// carry every attribute of `attributes` (in no namespace), with the value when one is given.
struct ElementStep {
    struct Condition {
        std::string name;
        std::optional<std::string> value;
    };
    bool anyDepth = false;  // written after "//": descendants at any depth, not only children
    std::vector<std::string> names;
    std::vector<Condition> attributes;
};

// A path cut in two: a head that goes to XPath, and a tail of element steps that a walk
// from each node the head selects answers in document order. The head only steps down one
// level at a time, so the nodes it selects never contain one another; "//" may come only
// before the last step of the tail.
struct PathPlan {
    // The head, or the whole path when the tail is empty; empty with a tail: the node itself.
    std::string xpath;
    std::vector<ElementStep> tail;
};

// Like ToXPath, cached; a path outside the language gives an empty xpath and tail.
std::shared_ptr<const PathPlan> PlanPath(std::string_view path);

}  // namespace tovela

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovela {

// The platform's HTML document object, for merging a signature into a message body. Text
// is UTF-8 in and out. Nothing comes back when the engine fails; hostile markup never
// reaches the network, runs a script or loads anything.
class HtmlEngine {
public:
    virtual ~HtmlEngine() = default;
    // `html` parsed as the content of a document's body (a whole document with head and
    // body also does), written back as the engine serializes the body element's inner
    // HTML: no html, head or body tags.
    virtual std::optional<std::string> BodyInnerHtml(std::string_view html) = 0;
    // The readable text of `html` taken as the inner HTML of a body element: tags gone,
    // entities decoded, line breaks (CR LF) where the markup breaks lines.
    virtual std::optional<std::string> BodyText(std::string_view html) = 0;
};

}  // namespace tovela

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/HtmlEngine.h"

namespace tovela {

// The HTML engine in plain code, for systems without an HTML document object. It keeps
// the markup as written instead of rebuilding it: the inner HTML is the body's content
// with the doctype, html, head and body wrappers taken out, stray end tags dropped and
// elements left open closed at the end; the text follows HtmlTextWriter. It never fails.
class FallbackHtmlEngine final : public HtmlEngine {
public:
    std::optional<std::string> BodyInnerHtml(std::string_view html) override;
    std::optional<std::string> BodyText(std::string_view html) override;
};

}  // namespace tovela

#include "submit/HtmlTextWriter.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tovela {
namespace {

template <std::size_t N>
bool OneOf(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool IsHidden(std::string_view name) {
    static constexpr std::string_view names[] = {"head", "script", "style", "template", "title"};
    return OneOf(names, name);
}

bool IsPreformatted(std::string_view name) {
    static constexpr std::string_view names[] = {"listing", "plaintext", "pre", "textarea", "xmp"};
    return OneOf(names, name);
}

bool IsBlock(std::string_view name) {
    static constexpr std::string_view names[] = {
        "address",  "article",    "aside",  "blockquote", "body",   "caption", "center",
        "dd",       "details",    "dialog", "dir",        "div",    "dl",      "dt",
        "fieldset", "figcaption", "figure", "footer",     "form",   "h1",      "h2",
        "h3",       "h4",         "h5",     "h6",         "header", "hgroup",  "hr",
        "html",     "li",         "main",   "menu",       "nav",    "ol",      "p",
        "section",  "summary",    "table",  "tbody",      "tfoot",  "thead",   "tr",
        "ul"};
    return OneOf(names, name);
}

bool IsCell(std::string_view name) {
    return name == "td" || name == "th";
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace

bool HtmlTextWriter::Open(std::string_view name) {
    if (IsHidden(name)) return false;
    if (name == "br") {
        LineBreak();
    } else if (IsPreformatted(name)) {
        EndLine();
        ++preformatted_;
    } else if (IsBlock(name)) {
        EndLine();
    }
    return true;
}

void HtmlTextWriter::Close(std::string_view name) {
    if (IsPreformatted(name)) {
        if (preformatted_ > 0) --preformatted_;
        EndLine();
    } else if (IsBlock(name)) {
        EndLine();
    } else if (IsCell(name)) {
        blankDue_ = !lineStart_;
    }
}

void HtmlTextWriter::Text(std::string_view decoded) {
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const char c = decoded[i];
        if (preformatted_ > 0) {
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n') ++i;
                LineBreak();
                continue;
            }
        } else if (IsSpace(c)) {
            blankDue_ = !lineStart_;
            continue;
        }
        if (blankDue_) text_ += ' ';
        blankDue_ = false;
        text_ += c;
        lineStart_ = false;
    }
}

std::string HtmlTextWriter::Take() {
    while (!text_.empty() && IsSpace(text_.back())) text_.pop_back();
    lineStart_ = true;
    blankDue_ = false;
    preformatted_ = 0;
    return std::exchange(text_, {});
}

void HtmlTextWriter::LineBreak() {
    text_ += "\r\n";
    lineStart_ = true;
    blankDue_ = false;
}

void HtmlTextWriter::EndLine() {
    if (!lineStart_) LineBreak();
    blankDue_ = false;
}

}  // namespace tovela

#include "submit/FallbackHtmlEngine.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "submit/HtmlEntities.h"
#include "submit/HtmlTextWriter.h"
#include "submit/HtmlTokens.h"

namespace tovela {
namespace {

using Kind = HtmlToken::Kind;

template <std::size_t N>
bool OneOf(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// Elements that never have content or an end tag.
bool IsVoid(std::string_view name) {
    static constexpr std::string_view names[] = {
        "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr",
        "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
    return OneOf(names, name);
}

// Elements whose end tag may be left out; closing them at the end would add empty ones
// where a browser already closed them, as with "<p>a<p>b".
bool MayStayOpen(std::string_view name) {
    static constexpr std::string_view names[] = {
        "caption", "colgroup", "dd",    "dt", "li",    "optgroup", "option", "p",
        "rp",      "rt",       "tbody", "td", "tfoot", "th",       "thead",  "tr"};
    return OneOf(names, name);
}

// What a head may hold; anything else starts the body.
bool BelongsInHead(std::string_view name) {
    static constexpr std::string_view names[] = {"base",     "basefont", "bgsound", "link",
                                                 "meta",     "noscript", "script",  "style",
                                                 "template", "title"};
    return OneOf(names, name);
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n\f") == std::string_view::npos;
}

// The tokens of the body's content, in order. The doctype and the html, head and body tags
// are left out, and so is what precedes the body's first content and belongs in a head
// (title, meta, style, script, comments), as a browser puts it there. Content after the
// body's end tag still counts: browsers move it into the body.
std::vector<const HtmlToken*> BodyContent(const std::vector<HtmlToken>& tokens) {
    std::vector<const HtmlToken*> content;
    bool inBody = false;
    for (const HtmlToken& token : tokens) {
        const bool isTag = token.kind == Kind::StartTag || token.kind == Kind::EndTag;
        if (token.kind == Kind::Declaration) continue;
        if (isTag && (token.name == "html" || token.name == "head" || token.name == "body")) {
            if (token.kind == Kind::StartTag && token.name == "body") inBody = true;
            continue;
        }
        if (!inBody) {
            const bool headMatter = token.kind == Kind::Comment || token.kind == Kind::EndTag ||
                                    token.kind == Kind::RawText ||
                                    (token.kind == Kind::Text && IsBlank(token.source)) ||
                                    (token.kind == Kind::StartTag && BelongsInHead(token.name));
            if (headMatter) continue;
            inBody = true;
        }
        content.push_back(&token);
    }
    return content;
}

// Text written back: a "<" left in it started no markup and is escaped, as an engine
// serializes it.
void AppendText(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '<') {
            out += "&lt;";
        } else {
            out += c;
        }
    }
}

}  // namespace

std::optional<std::string> FallbackHtmlEngine::BodyInnerHtml(std::string_view html) {
    const std::vector<HtmlToken> tokens = TokenizeHtml(html);
    std::string out;
    out.reserve(html.size());
    std::vector<std::string_view> open;
    // How many of each name are open, so a run of stray end tags costs no search each.
    std::unordered_map<std::string_view, int> openCount;
    for (const HtmlToken* token : BodyContent(tokens)) {
        switch (token->kind) {
            case Kind::StartTag:
                out += token->source;
                if (!IsVoid(token->name) && !token->selfClosing) {
                    open.push_back(token->name);
                    ++openCount[token->name];
                }
                break;
            case Kind::EndTag: {
                // An end tag with no element open to close is dropped, as browsers drop it;
                // one that matches closes what was opened inside it too.
                const auto count = openCount.find(token->name);
                if (count == openCount.end() || count->second == 0) break;
                std::string_view closed;
                do {
                    closed = open.back();
                    open.pop_back();
                    --openCount[closed];
                } while (closed != token->name);
                out += token->source;
                break;
            }
            case Kind::Text:
                AppendText(out, token->source);
                break;
            case Kind::RawText:
            case Kind::Comment:
                out += token->source;
                break;
            case Kind::Declaration:
                break;
        }
    }
    // Close what was left open, so markup after it (a signature) is not caught inside.
    for (auto name = open.rbegin(); name != open.rend(); ++name) {
        if (!MayStayOpen(*name)) out += "</" + std::string(*name) + ">";
    }
    return out;
}

std::optional<std::string> FallbackHtmlEngine::BodyText(std::string_view html) {
    const std::vector<HtmlToken> tokens = TokenizeHtml(html);
    HtmlTextWriter writer;
    std::string_view hiddenUntil;  // the element whose content is being skipped
    for (const HtmlToken* token : BodyContent(tokens)) {
        if (!hiddenUntil.empty()) {
            if (token->kind == Kind::EndTag && token->name == hiddenUntil) hiddenUntil = {};
            continue;
        }
        switch (token->kind) {
            case Kind::StartTag:
                if (!writer.Open(token->name) && !IsVoid(token->name) && !token->selfClosing) {
                    hiddenUntil = token->name;
                }
                break;
            case Kind::EndTag:
                writer.Close(token->name);
                break;
            case Kind::Text:
                writer.Text(DecodeHtmlEntities(token->source));
                break;
            case Kind::RawText:
                // Only textarea and xmp get here: script, style and title are hidden.
                writer.Text(token->name == "textarea" ? DecodeHtmlEntities(token->source)
                                                      : std::string(token->source));
                break;
            case Kind::Comment:
            case Kind::Declaration:
                break;
        }
    }
    return writer.Take();
}

}  // namespace tovela

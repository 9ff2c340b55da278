#include "submit/HtmlTokens.h"

#include <algorithm>
#include <iterator>

namespace tovela {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Elements whose content is text up to their own end tag, markup or not.
bool HoldsRawText(std::string_view name) {
    static constexpr std::string_view names[] = {"script", "style", "textarea", "title", "xmp"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// The end of a tag name: white space, "/" or ">" (or the end of the text).
std::size_t NameEnd(std::string_view html, std::size_t at) {
    while (at < html.size() && !IsSpace(html[at]) && html[at] != '/' && html[at] != '>') ++at;
    return at;
}

std::string LowerName(std::string_view html, std::size_t from, std::size_t to) {
    std::string name(html.substr(from, to - from));
    std::transform(name.begin(), name.end(), name.begin(), Lower);
    return name;
}

// The ">" that closes a start tag whose name ends at `at`. A quote matters only where an
// attribute value starts, right after "=" and optional blanks, so "a'b" in a bare value or
// a name does not swallow the rest of the text. npos when the tag is unfinished.
std::size_t StartTagEnd(std::string_view html, std::size_t at) {
    bool afterEquals = false;
    for (; at < html.size(); ++at) {
        const char c = html[at];
        if (c == '>') return at;
        if (afterEquals && (c == '"' || c == '\'')) {
            at = html.find(c, at + 1);
            if (at == npos) return npos;
            afterEquals = false;
        } else if (c == '=') {
            afterEquals = true;
        } else if (!IsSpace(c)) {
            afterEquals = false;
        }
    }
    return npos;
}

// Where the end tag of raw-text element `name` starts at or after `from`: "</name" in any
// letter case, followed by white space, "/" or ">". npos when there is none.
std::size_t RawTextEnd(std::string_view html, std::size_t from, std::string_view name) {
    for (std::size_t at = html.find("</", from); at != npos; at = html.find("</", at + 2)) {
        const std::size_t end = at + 2 + name.size();
        if (end > html.size()) return npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = Lower(html[at + 2 + i]) == name[i];
        }
        if (same &&
            (end == html.size() || IsSpace(html[end]) || html[end] == '/' || html[end] == '>')) {
            return at;
        }
    }
    return npos;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view html) : html_(html) {}

    std::vector<HtmlToken> Run() {
        while (at_ < html_.size()) {
            const std::size_t lt = html_.find('<', at_);
            if (lt == npos || lt + 1 >= html_.size()) break;
            at_ = lt;
            if (!Markup()) ++at_;  // a "<" that starts nothing stays in the text
        }
        Text(html_.size());
        return std::move(tokens_);
    }

private:
    // Reads the markup at `at_` and moves past it; false when "<" starts none.
    bool Markup() {
        const char next = html_[at_ + 1];
        if (html_.compare(at_, 4, "<!--") == 0) {
            const std::size_t end = html_.find("-->", at_ + 4);
            return Emit(HtmlToken::Kind::Comment, end == npos ? npos : end + 3);
        }
        if (next == '!' || next == '?') {
            const std::size_t end = html_.find('>', at_ + 2);
            return Emit(HtmlToken::Kind::Declaration, end == npos ? npos : end + 1);
        }
        if (next == '/') {
            if (at_ + 2 < html_.size() && html_[at_ + 2] == '>') {
                Text(at_);
                at_ += 3;  // "</>" is dropped
                textStart_ = at_;
                return true;
            }
            if (at_ + 2 >= html_.size() || !IsAsciiLetter(html_[at_ + 2])) return false;
            const std::size_t nameEnd = NameEnd(html_, at_ + 2);
            const std::size_t end = html_.find('>', nameEnd);
            return Emit(HtmlToken::Kind::EndTag, end == npos ? npos : end + 1,
                        LowerName(html_, at_ + 2, nameEnd));
        }
        if (!IsAsciiLetter(next)) return false;
        const std::size_t nameEnd = NameEnd(html_, at_ + 1);
        const std::size_t end = StartTagEnd(html_, nameEnd);
        std::string name = LowerName(html_, at_ + 1, nameEnd);
        const bool raw = HoldsRawText(name);
        Emit(HtmlToken::Kind::StartTag, end == npos ? npos : end + 1, name);
        if (end != npos && end > nameEnd && html_[end - 1] == '/')
            tokens_.back().selfClosing = true;
        if (end != npos && raw) RawText(name);
        return true;
    }

    // The content of a raw-text element and its end tag, or the rest of the text.
    void RawText(const std::string& name) {
        const std::size_t close = RawTextEnd(html_, at_, name);
        const std::size_t contentEnd = close == npos ? html_.size() : close;
        if (contentEnd > at_) {
            tokens_.push_back(
                {HtmlToken::Kind::RawText, html_.substr(at_, contentEnd - at_), name, false});
        }
        at_ = contentEnd;
        textStart_ = at_;
        if (close == npos) return;
        const std::size_t end = html_.find('>', close);
        Emit(HtmlToken::Kind::EndTag, end == npos ? npos : end + 1, name);
    }

    // A token from `at_` to `end`, after the text before it. An unfinished one (npos) and
    // everything after it are dropped.
    bool Emit(HtmlToken::Kind kind, std::size_t end, std::string name = {}) {
        Text(at_);
        if (end == npos)
            end = html_.size();
        else
            tokens_.push_back({kind, html_.substr(at_, end - at_), std::move(name), false});
        at_ = end;
        textStart_ = end;
        return true;
    }

    void Text(std::size_t end) {
        if (end > textStart_) {
            tokens_.push_back(
                {HtmlToken::Kind::Text, html_.substr(textStart_, end - textStart_), {}, false});
        }
        textStart_ = end;
    }

    std::string_view html_;
    std::size_t at_ = 0;
    std::size_t textStart_ = 0;
    std::vector<HtmlToken> tokens_;
};

}  // namespace

std::vector<HtmlToken> TokenizeHtml(std::string_view html) {
    return Tokenizer(html).Run();
}

}  // namespace tovela

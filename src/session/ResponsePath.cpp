#include "session/ResponsePath.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace tovela {
namespace {

// Only the characters of an XML name; bytes from 0x80 up are parts of UTF-8 sequences and
// count as letters. Nothing that could close the quoted literal of local-name() gets in.
bool IsNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

class PathTranslator {
public:
    explicit PathTranslator(std::string_view path) : in_(path) {}

    std::optional<std::string> Run() {
        if (Eat('/')) {
            out_ += '/';
            if (Eat('/')) out_ += '/';
        }
        for (;;) {
            if (!Step()) return std::nullopt;
            if (AtEnd()) return out_;
            if (!Eat('/')) return std::nullopt;
            out_ += '/';
            if (Eat('/')) out_ += '/';
        }
    }

private:
    struct QName {
        std::string_view prefix;
        std::string_view local;
    };

    bool AtEnd() const { return pos_ >= in_.size(); }
    char Peek() const { return AtEnd() ? '\0' : in_[pos_]; }
    bool Eat(char c) {
        if (AtEnd() || in_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    void SkipBlanks() {
        while (Peek() == ' ') ++pos_;
    }

    std::optional<std::string_view> Name() {
        if (!IsNameStart(Peek())) return std::nullopt;
        const std::size_t start = pos_;
        while (!AtEnd() && IsNameChar(in_[pos_])) ++pos_;
        return in_.substr(start, pos_ - start);
    }

    // Only "soap" is bound on the back ends; any other prefix is outside the language.
    std::optional<QName> ElementName() {
        auto first = Name();
        if (!first) return std::nullopt;
        if (!Eat(':')) return QName{{}, *first};
        auto second = Name();
        if (!second || *first != "soap") return std::nullopt;
        return QName{*first, *second};
    }

    static std::string Condition(const QName& name) {
        if (!name.prefix.empty()) return "self::soap:" + std::string(name.local);
        return "local-name()='" + std::string(name.local) + "'";
    }

    bool Step() {
        if (Eat('@')) {
            auto name = ElementName();
            if (!name) return false;
            out_ += '@';
            if (!name->prefix.empty()) out_ += "soap:";
            out_ += name->local;
            return true;
        }
        if (Eat('.')) {
            out_ += Eat('.') ? ".." : ".";
            return true;
        }
        if (Eat('*')) {
            out_ += '*';
        } else if (Eat('(')) {
            std::vector<QName> names;
            do {
                auto name = ElementName();
                if (!name) return false;
                names.push_back(*name);
            } while (Eat('|'));
            if (!Eat(')')) return false;
            out_ += "*[";
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (i > 0) out_ += " or ";
                out_ += Condition(names[i]);
            }
            out_ += ']';
        } else {
            auto name = ElementName();
            if (!name) return false;
            if (name->prefix.empty()) {
                out_ += "*[" + Condition(*name) + "]";
            } else {
                out_ += "soap:";
                out_ += name->local;
            }
        }
        while (Eat('[')) {
            if (!Predicate()) return false;
        }
        return true;
    }

    // "[@name]" or "[@name='value']"; the opening bracket is already taken.
    bool Predicate() {
        SkipBlanks();
        if (!Eat('@')) return false;
        auto name = Name();
        if (!name) return false;
        out_ += "[@";
        out_ += *name;
        SkipBlanks();
        if (Eat('=')) {
            SkipBlanks();
            const char quote = Peek();
            if (quote != '\'' && quote != '"') return false;
            ++pos_;
            const std::size_t end = in_.find(quote, pos_);
            if (end == std::string_view::npos) return false;
            out_ += '=';
            out_ += quote;
            out_ += in_.substr(pos_, end - pos_);
            out_ += quote;
            pos_ = end + 1;
            SkipBlanks();
        }
        if (!Eat(']')) return false;
        out_ += ']';
        return true;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::string out_;
};

// Paths with a value from the server in a predicate are the only ones that vary; the bound
// keeps a long session from collecting them without end.
constexpr std::size_t kMaxCachedPaths = 256;

}  // namespace

std::string ToXPath(std::string_view path) {
    // The program runs every selection on its one UI thread.
    static std::map<std::string, std::string, std::less<>> cache;
    if (auto found = cache.find(path); found != cache.end()) return found->second;
    if (cache.size() >= kMaxCachedPaths) cache.clear();
    std::string xpath = PathTranslator(path).Run().value_or(std::string());
    cache.emplace(std::string(path), xpath);
    return xpath;
}

}  // namespace tovela

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

enum class Separator { None, Child, AnyDepth };

struct SourceStep {
    Separator separator;
    std::string_view text;
};

// The steps of a path the translator accepted, cut at the slashes outside predicates.
std::vector<SourceStep> SourceSteps(std::string_view path) {
    std::vector<SourceStep> steps;
    std::size_t pos = 0;
    Separator separator = Separator::None;
    for (;;) {
        if (pos < path.size() && path[pos] == '/') {
            ++pos;
            separator = Separator::Child;
            if (pos < path.size() && path[pos] == '/') {
                ++pos;
                separator = Separator::AnyDepth;
            }
        }
        const std::size_t start = pos;
        char quote = '\0';
        while (pos < path.size() && (quote != '\0' || path[pos] != '/')) {
            if (quote != '\0') {
                if (path[pos] == quote) quote = '\0';
            } else if (path[pos] == '\'' || path[pos] == '"') {
                quote = path[pos];
            }
            ++pos;
        }
        steps.push_back({separator, path.substr(start, pos - start)});
        if (pos >= path.size()) return steps;
        separator = Separator::None;
    }
}

bool IsPlainName(std::string_view text) {
    if (text.empty() || !IsNameStart(text.front())) return false;
    for (const char c : text) {
        if (!IsNameChar(c)) return false;
    }
    return true;
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

// "[@a]" or "[@a='v']" at the front of `text`, which it then leaves behind. "xmlns" is left
// to XPath, for which it is never an attribute.
std::optional<ElementStep::Condition> TakeCondition(std::string_view& text) {
    text = SkipBlanks(text.substr(1));
    if (text.empty() || text.front() != '@') return std::nullopt;
    text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    const std::string_view name = text.substr(0, end);
    if (!IsPlainName(name) || name == "xmlns") return std::nullopt;
    ElementStep::Condition condition{std::string(name), std::nullopt};
    text = SkipBlanks(text.substr(end));
    if (!text.empty() && text.front() == '=') {
        text = SkipBlanks(text.substr(1));
        if (text.empty() || (text.front() != '\'' && text.front() != '"')) return std::nullopt;
        const std::size_t close = text.find(text.front(), 1);
        if (close == std::string_view::npos) return std::nullopt;
        condition.value = std::string(text.substr(1, close - 1));
        text = SkipBlanks(text.substr(close + 1));
    }
    if (text.empty() || text.front() != ']') return std::nullopt;
    text.remove_prefix(1);
    return condition;
}

// "name", "(a|b)" or "*", then attribute conditions; anything else needs XPath.
std::optional<ElementStep> WalkableStep(const SourceStep& step) {
    ElementStep element;
    element.anyDepth = step.separator == Separator::AnyDepth;
    std::string_view text = step.text;
    const std::size_t bracket = text.find('[');
    std::string_view names = text.substr(0, bracket);
    text.remove_prefix(names.size());
    if (names.size() >= 2 && names.front() == '(' && names.back() == ')') {
        names = names.substr(1, names.size() - 2);
        for (;;) {
            const std::size_t bar = names.find('|');
            const std::string_view name = names.substr(0, bar);
            if (!IsPlainName(name)) return std::nullopt;
            element.names.emplace_back(name);
            if (bar == std::string_view::npos) break;
            names.remove_prefix(bar + 1);
        }
    } else if (names != "*") {
        if (!IsPlainName(names)) return std::nullopt;
        element.names.emplace_back(names);
    }
    while (!text.empty()) {
        if (text.front() != '[') return std::nullopt;
        auto condition = TakeCondition(text);
        if (!condition) return std::nullopt;
        element.attributes.push_back(std::move(*condition));
    }
    return element;
}

// Steps [0, k) as a head whose nodes all sit at one depth: no "//", no "..", no attribute.
bool HeadKeepsOneDepth(const std::vector<SourceStep>& steps, std::size_t k) {
    if (k == 0) return steps.front().separator == Separator::None;
    for (std::size_t i = 0; i < k; ++i) {
        if (steps[i].separator == Separator::AnyDepth) return false;
        if (steps[i].text == ".." || steps[i].text.starts_with('@')) return false;
    }
    return true;
}

PathPlan MakePlan(std::string_view path) {
    PathPlan plan;
    plan.xpath = ToXPath(path);
    if (plan.xpath.empty()) return plan;
    const std::vector<SourceStep> steps = SourceSteps(path);
    // The longest tail that walks: every step plain, "//" only before the last one.
    std::size_t k = steps.size();
    while (k > 0) {
        const SourceStep& step = steps[k - 1];
        if (!WalkableStep(step)) break;
        if (k < steps.size() && step.separator == Separator::AnyDepth) break;
        --k;
    }
    while (k < steps.size() && !HeadKeepsOneDepth(steps, k)) ++k;
    if (k == steps.size()) return plan;
    for (std::size_t i = k; i < steps.size(); ++i) plan.tail.push_back(*WalkableStep(steps[i]));
    plan.xpath.clear();
    if (k > 0) {
        // The head ends where the separator in front of step k begins.
        const auto stepStart = static_cast<std::size_t>(steps[k].text.data() - path.data());
        const std::size_t separator = steps[k].separator == Separator::AnyDepth ? 2 : 1;
        plan.xpath = ToXPath(path.substr(0, stepStart - separator));
        if (plan.xpath.empty()) return {ToXPath(path), {}};
    }
    return plan;
}

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

std::shared_ptr<const PathPlan> PlanPath(std::string_view path) {
    // The program runs every selection on its one UI thread.
    static std::map<std::string, std::shared_ptr<const PathPlan>, std::less<>> cache;
    if (auto found = cache.find(path); found != cache.end()) return found->second;
    if (cache.size() >= kMaxCachedPaths) cache.clear();
    auto plan = std::make_shared<const PathPlan>(MakePlan(path));
    cache.emplace(std::string(path), plan);
    return plan;
}

}  // namespace tovela

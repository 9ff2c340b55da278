// The XML port on libxml2.
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/Factories.h"

namespace tovela::posix {
namespace {

// No DTD loading, no network, no entity substitution and no "huge" mode: the parser's own
// limits (depth, name and text sizes) stay on. The response text is UTF-8 whatever its
// declaration says, as it is for a document loaded from a string on Windows.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

std::string ToString(const xmlChar* text) {
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::string TakeString(xmlChar* text) {
    std::string copy = ToString(text);
    xmlFree(text);
    return copy;
}

std::string TrimEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// Line `line` (counted from 1) of the text, without its line break.
std::string LineOf(std::string_view text, int line) {
    if (line < 1) return {};
    std::size_t start = 0;
    for (int n = 1; n < line; ++n) {
        start = text.find('\n', start);
        if (start == std::string_view::npos) return {};
        ++start;
    }
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    return std::string(text.substr(start, end - start));
}

// What one parse found; the first error is the one reported, as the parser stops there.
struct ParseState {
    std::string_view text;
    bool failed = false;
    XmlParseError error;

    void Fail(std::string reason, int line) {
        if (failed) return;
        failed = true;
        error.reason = TrimEnd(std::move(reason));
        error.srcText = LineOf(text, line);
    }
};

ParseState& StateOf(void* parserContext) {
    return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(parserContext)->_private);
}

// Taking the errors here also keeps libxml2 from printing them.
void OnParseError(void* parserContext, xmlErrorPtr error) {
    if (error == nullptr || error->level < XML_ERR_ERROR) return;
    StateOf(parserContext)
        .Fail(ToString(reinterpret_cast<const xmlChar*>(error->message)), error->line);
}

// A server response never carries a document type declaration. Stopping at it keeps every
// entity declaration, and so every entity expansion trick, out of reach.
void OnDocumentType(void* parserContext, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* context = static_cast<xmlParserCtxtPtr>(parserContext);
    StateOf(parserContext)
        .Fail("DTD is prohibited.", context->input != nullptr ? context->input->line : 0);
    xmlStopParser(context);
}

void IgnoreXPathError(void*, xmlErrorPtr) {}

// The parsed tree and its XPath context; every node handed out shares it, so a node stays
// valid after the document object that loaded it is gone.
struct LoadedDocument {
    xmlDocPtr doc = nullptr;
    xmlXPathContextPtr xpath = nullptr;

    LoadedDocument() = default;
    LoadedDocument(const LoadedDocument&) = delete;
    LoadedDocument& operator=(const LoadedDocument&) = delete;
    ~LoadedDocument() {
        if (xpath != nullptr) xmlXPathFreeContext(xpath);
        if (doc != nullptr) xmlFreeDoc(doc);
    }
};

// Compiling an expression costs about as much as running it on a small answer, and the
// program asks the same few hundred paths again and again: keep them compiled. Bounded, so
// paths that carry ids from the server cannot grow it without end. They are compiled in a
// context of their own, tied to no document (a document's name dictionary would otherwise
// be kept alive by them), whose error handler stays silent.
class CompiledPaths {
public:
    CompiledPaths() : context_(xmlXPathNewContext(nullptr)) {
        if (context_ != nullptr) context_->error = IgnoreXPathError;
    }
    ~CompiledPaths() {
        Clear();
        if (context_ != nullptr) xmlXPathFreeContext(context_);
    }
    CompiledPaths(const CompiledPaths&) = delete;
    CompiledPaths& operator=(const CompiledPaths&) = delete;

    xmlXPathCompExprPtr Get(const std::string& expression) {
        if (context_ == nullptr) return nullptr;
        auto it = cache_.find(expression);
        if (it != cache_.end()) return it->second;
        if (cache_.size() >= kLimit) Clear();
        xmlXPathCompExprPtr compiled =
            xmlXPathCtxtCompile(context_, reinterpret_cast<const xmlChar*>(expression.c_str()));
        cache_.emplace(expression, compiled);  // a rejected path is remembered as null
        return compiled;
    }

private:
    void Clear() {
        for (auto& entry : cache_) {
            if (entry.second != nullptr) xmlXPathFreeCompExpr(entry.second);
        }
        cache_.clear();
    }
    static constexpr std::size_t kLimit = 512;
    xmlXPathContextPtr context_;
    std::unordered_map<std::string, xmlXPathCompExprPtr> cache_;
};

xmlXPathCompExprPtr CompiledPath(const std::string& expression) {
    thread_local CompiledPaths paths;
    return paths.Get(expression);
}

struct XPathObjectFree {
    void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
};

class LibXmlNode final : public XmlNode {
public:
    LibXmlNode(std::shared_ptr<LoadedDocument> owner, xmlNodePtr node)
        : owner_(std::move(owner)), node_(node) {}

    std::string LocalName() const override {
        if (node_->type != XML_ELEMENT_NODE && node_->type != XML_ATTRIBUTE_NODE) return {};
        return ToString(node_->name);
    }

    std::string Text() const override {
        try {
            return TakeString(xmlNodeGetContent(node_));
        } catch (...) {
            return {};
        }
    }

    std::optional<std::string> Attribute(std::string_view name) const override {
        try {
            if (node_->type != XML_ELEMENT_NODE) return std::nullopt;
            const std::string key(name);
            xmlAttrPtr attribute = xmlHasProp(node_, reinterpret_cast<const xmlChar*>(key.c_str()));
            if (attribute == nullptr) return std::nullopt;
            return TakeString(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
        } catch (...) {
            return std::nullopt;
        }
    }

    std::string Markup() const override {
        try {
            xmlBufferPtr buffer = xmlBufferCreate();
            if (buffer == nullptr) return {};
            // UTF-8 as the encoding keeps non-ASCII text as it is instead of character refs.
            xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
            if (save != nullptr) {
                xmlSaveTree(save, node_);
                xmlSaveClose(save);
            }
            std::string markup(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                               static_cast<std::size_t>(xmlBufferLength(buffer)));
            xmlBufferFree(buffer);
            // An attribute comes out with the blank that separates it inside a tag.
            if (node_->type == XML_ATTRIBUTE_NODE && !markup.empty() && markup[0] == ' ') {
                markup.erase(0, 1);
            }
            return markup;
        } catch (...) {
            return {};
        }
    }

    std::vector<std::unique_ptr<XmlNode>> SelectNodes(std::string_view xpath) const override {
        std::vector<std::unique_ptr<XmlNode>> nodes;
        try {
            if (xpath.empty()) return nodes;
            const std::string expression(xpath);
            owner_->xpath->node = node_;
            xmlXPathCompExprPtr compiled = CompiledPath(expression);
            if (compiled == nullptr) return nodes;
            std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
                xmlXPathCompiledEval(compiled, owner_->xpath));
            if (!result || result->type != XPATH_NODESET || result->nodesetval == nullptr) {
                return nodes;
            }
            const xmlNodeSetPtr set = result->nodesetval;
            for (int i = 0; i < set->nodeNr; ++i) {
                xmlNodePtr node = set->nodeTab[i];
                // Namespace nodes are copies owned by the result, not nodes of the tree.
                if (node == nullptr || node->type == XML_NAMESPACE_DECL) continue;
                nodes.push_back(std::make_unique<LibXmlNode>(owner_, node));
            }
        } catch (...) {
            nodes.clear();
        }
        return nodes;
    }

    std::unique_ptr<XmlNode> SelectSingleNode(std::string_view xpath) const override {
        auto nodes = SelectNodes(xpath);
        if (nodes.empty()) return nullptr;
        return std::move(nodes.front());
    }

private:
    std::shared_ptr<LoadedDocument> owner_;
    xmlNodePtr node_;
};

struct ParserContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

class LibXmlDocument final : public XmlDocument {
public:
    bool LoadXml(std::string_view text) override {
        root_.reset();
        loaded_.reset();
        error_ = {};
        try {
            ParseState state;
            state.text = text;
            xmlDocPtr doc = Parse(text, state);
            if (doc == nullptr) {
                error_ = state.error;
                if (error_.reason.empty()) error_.reason = "The document could not be parsed.";
                return false;
            }
            auto loaded = std::make_shared<LoadedDocument>();
            loaded->doc = doc;
            loaded->xpath = xmlXPathNewContext(doc);
            if (loaded->xpath == nullptr) {
                error_.reason = "Out of memory.";
                return false;
            }
            loaded->xpath->error = IgnoreXPathError;
            xmlXPathRegisterNs(loaded->xpath, reinterpret_cast<const xmlChar*>("soap"),
                               reinterpret_cast<const xmlChar*>(kSoapEnvelopeNamespace));
            root_ = std::make_unique<LibXmlNode>(loaded, xmlDocGetRootElement(doc));
            loaded_ = std::move(loaded);
            return true;
        } catch (...) {
            root_.reset();
            loaded_.reset();
            error_ = {"Out of memory.", {}};
            return false;
        }
    }

    const XmlParseError& ParseError() const override { return error_; }
    const XmlNode* DocumentElement() const override { return root_.get(); }

private:
    // The parsed tree, or null with the first error in `state`.
    static xmlDocPtr Parse(std::string_view text, ParseState& state) {
        if (text.empty()) {
            state.Fail("Document is empty", 1);
            return nullptr;
        }
        if (text.size() > static_cast<std::size_t>(INT_MAX)) {
            state.Fail("Document is too large", 0);
            return nullptr;
        }
        std::unique_ptr<xmlParserCtxt, ParserContextFree> context(
            xmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size())));
        if (!context) {
            state.Fail("Out of memory.", 0);
            return nullptr;
        }
        xmlCtxtUseOptions(context.get(), kParseOptions);
        context->_private = &state;
        context->sax->serror = OnParseError;
        context->sax->internalSubset = OnDocumentType;
        xmlParseDocument(context.get());
        xmlDocPtr doc = context->myDoc;
        context->myDoc = nullptr;
        const bool complete = context->wellFormed != 0 && !state.failed && doc != nullptr &&
                              xmlDocGetRootElement(doc) != nullptr;
        if (!complete) {
            if (doc != nullptr) xmlFreeDoc(doc);
            state.Fail("The document has no root element.", 0);
            return nullptr;
        }
        return doc;
    }

    XmlParseError error_;
    std::shared_ptr<LoadedDocument> loaded_;
    std::unique_ptr<LibXmlNode> root_;
};

class LibXmlFactory final : public XmlFactory {
public:
    LibXmlFactory() { xmlInitParser(); }
    std::unique_ptr<XmlDocument> CreateDocument() override {
        return std::make_unique<LibXmlDocument>();
    }
};

}  // namespace

std::unique_ptr<XmlFactory> CreateXmlFactory() {
    return std::make_unique<LibXmlFactory>();
}

}  // namespace tovela::posix

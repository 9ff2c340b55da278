// The XML port on libxml2.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/Factories.h"
#include "platform/posix/LibXmlParse.h"

namespace tovela::posix {
namespace {

std::string ToString(const xmlChar* text) {
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::string TakeString(xmlChar* text) {
    std::string copy = ToString(text);
    xmlFree(text);
    return copy;
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
            // An element with one text node is the usual case: read it in place.
            const xmlNode* only = node_->type == XML_ELEMENT_NODE ? node_->children : nullptr;
            if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE) {
                return ToString(only->content);
            }
            return TakeString(xmlNodeGetContent(node_));
        } catch (...) {
            return {};
        }
    }

    std::optional<std::string> Attribute(std::string_view name) const override {
        try {
            if (node_->type != XML_ELEMENT_NODE) return std::nullopt;
            const xmlAttr* attribute = FindAttribute(name);
            if (attribute == nullptr) return std::nullopt;
            // The usual value is one text node: read it in place instead of through a copy.
            const xmlNode* value = attribute->children;
            if (attribute->type == XML_ATTRIBUTE_NODE && value != nullptr &&
                value->next == nullptr && value->type == XML_TEXT_NODE) {
                return ToString(value->content);
            }
            return TakeString(xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute)));
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

    std::vector<std::unique_ptr<XmlNode>> ChildElements() const override {
        std::vector<std::unique_ptr<XmlNode>> nodes;
        try {
            if (node_->type != XML_ELEMENT_NODE) return nodes;
            // Counted first: one allocation for the list instead of one per doubling.
            std::size_t count = 0;
            for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
                if (child->type == XML_ELEMENT_NODE) ++count;
            }
            nodes.reserve(count);
            for (xmlNodePtr child = node_->children; child != nullptr; child = child->next) {
                if (child->type == XML_ELEMENT_NODE) {
                    nodes.push_back(std::make_unique<LibXmlNode>(owner_, child));
                }
            }
        } catch (...) {
            nodes.clear();
        }
        return nodes;
    }

    std::vector<std::unique_ptr<XmlNode>> DescendantElements(
        const std::vector<std::string>& localNames) const override {
        std::vector<std::unique_ptr<XmlNode>> nodes;
        try {
            if (node_->type != XML_ELEMENT_NODE) return nodes;
            // Depth first without recursion; only elements hold elements in a loaded tree.
            xmlNodePtr current = node_->children;
            while (current != nullptr) {
                if (current->type == XML_ELEMENT_NODE) {
                    if (HasOneOfNames(current, localNames)) {
                        nodes.push_back(std::make_unique<LibXmlNode>(owner_, current));
                    }
                    if (current->children != nullptr) {
                        current = current->children;
                        continue;
                    }
                }
                while (current != nullptr && current->next == nullptr) {
                    current = current->parent == node_ ? nullptr : current->parent;
                }
                if (current != nullptr) current = current->next;
            }
        } catch (...) {
            nodes.clear();
        }
        return nodes;
    }

private:
    static bool HasOneOfNames(const xmlNode* element, const std::vector<std::string>& localNames) {
        if (localNames.empty()) return true;
        const std::string_view name(reinterpret_cast<const char*>(element->name));
        for (const std::string& wanted : localNames) {
            if (name == wanted) return true;
        }
        return false;
    }

    // The attribute in no namespace, as the name means in a path and on Windows. A loaded
    // document has no DTD, so no declared default can answer instead; the library's own search
    // covers the case anyway, at the cost of a copy of the name.
    const xmlAttr* FindAttribute(std::string_view name) const {
        name = name.substr(0, name.find('\0'));
        if (node_->doc != nullptr &&
            (node_->doc->intSubset != nullptr || node_->doc->extSubset != nullptr)) {
            const std::string key(name);
            return xmlHasNsProp(node_, reinterpret_cast<const xmlChar*>(key.c_str()), nullptr);
        }
        for (const xmlAttr* attribute = node_->properties; attribute != nullptr;
             attribute = attribute->next) {
            if (attribute->ns == nullptr &&
                std::string_view(reinterpret_cast<const char*>(attribute->name)) == name) {
                return attribute;
            }
        }
        return nullptr;
    }

    std::shared_ptr<LoadedDocument> owner_;
    xmlNodePtr node_;
};

class LibXmlDocument final : public XmlDocument {
public:
    bool LoadXml(std::string_view text) override {
        root_.reset();
        loaded_.reset();
        error_ = {};
        try {
            xmlDocPtr doc = ParseResponse(text, error_);
            if (doc == nullptr) return false;
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

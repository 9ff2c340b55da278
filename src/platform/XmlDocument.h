#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovela {

// One node of a loaded document. Selections take XPath 1.0 in which the prefix "soap" is
// bound to the SOAP 1.2 envelope namespace; the core writes every path it uses that way.
class XmlNode {
public:
    virtual ~XmlNode() = default;
    virtual std::string LocalName() const = 0;
    // The concatenated text content.
    virtual std::string Text() const = 0;
    // The attribute of that name in no namespace, as "@name" in a path means; nothing when
    // the node has no such attribute (or is not an element).
    virtual std::optional<std::string> Attribute(std::string_view name) const = 0;
    // The node written back as markup.
    virtual std::string Markup() const = 0;
    // All selected nodes in document order; empty for no match or a rejected path.
    virtual std::vector<std::unique_ptr<XmlNode>> SelectNodes(std::string_view xpath) const = 0;
    // The first selected node, or nothing.
    virtual std::unique_ptr<XmlNode> SelectSingleNode(std::string_view xpath) const = 0;
    // The element children in document order, without text, comments or instructions; a
    // walk over them costs far less than a path evaluation per item.
    virtual std::vector<std::unique_ptr<XmlNode>> ChildElements() const = 0;
    // The elements at any depth below this node whose local name, in any namespace, is one of
    // `localNames` (every element when it is empty), in document order.
    virtual std::vector<std::unique_ptr<XmlNode>> DescendantElements(
        const std::vector<std::string>& localNames) const = 0;
};

struct XmlParseError {
    std::string reason;   // empty when the text loaded
    std::string srcText;  // the text of the line the parser stopped at
};

// An XML document loaded from text. Never loads a DTD or an external entity and never
// expands entities beyond the predefined ones, so hostile text costs bounded time and memory.
class XmlDocument {
public:
    virtual ~XmlDocument() = default;
    // False on a parse error; ParseError() then tells why.
    virtual bool LoadXml(std::string_view text) = 0;
    virtual const XmlParseError& ParseError() const = 0;
    // The root element once loaded, else null.
    virtual const XmlNode* DocumentElement() const = 0;
};

class XmlFactory {
public:
    virtual ~XmlFactory() = default;
    virtual std::unique_ptr<XmlDocument> CreateDocument() = 0;
};

inline constexpr const char* kSoapEnvelopeNamespace = "http://www.w3.org/2003/05/soap-envelope";

}  // namespace tovela

// The XML port on MSXML 6 over COM.
#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/ComObjects.h"
#include "platform/win32/Factories.h"
#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

// MinGW's msxml2.h stops at version 4, and its import library has neither the version 6
// class nor the IXMLDOMDocument2 interface id.
constexpr CLSID kClsidDomDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kIidXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Deep enough for any server answer; the same bound the libxml2 parser keeps.
constexpr LONG kMaxElementDepth = 256;

std::string TrimEnd(std::string text, std::string_view blanks) {
    while (!text.empty() && blanks.find(text.back()) != std::string_view::npos) text.pop_back();
    return text;
}

void SetProperty(IXMLDOMDocument2& document, const wchar_t* name, VARIANT value) {
    Bstr key{std::wstring_view(name)};
    // A property this MSXML does not know keeps its default, which is the safe one for
    // every setting made here.
    document.setProperty(key.Get(), value);
    VariantClear(&value);
}

VARIANT BoolValue(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT LongValue(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT TextValue(const std::wstring& value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return v;
}

// The program runs on one apartment-threaded UI thread; COM stays up for its lifetime.
void EnsureCom() {
    static const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)initialized;
}

HRESULT CreateConfiguredDocument(ComPtr<IXMLDOMDocument2>& document) {
    HRESULT hr = CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                  kIidXmlDomDocument2, reinterpret_cast<void**>(document.Put()));
    if (FAILED(hr) || !document) return FAILED(hr) ? hr : E_NOINTERFACE;
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    // Text and markup as written, the same as the libxml2 back end gives them.
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    SetProperty(*document, L"NewParser", BoolValue(true));
    SetProperty(*document, L"ProhibitDTD", BoolValue(true));
    SetProperty(*document, L"ResolveExternals", BoolValue(false));
    SetProperty(*document, L"MaxElementDepth", LongValue(kMaxElementDepth));
    SetProperty(*document, L"SelectionLanguage", TextValue(L"XPath"));
    SetProperty(*document, L"SelectionNamespaces",
                TextValue(L"xmlns:soap='" + Wide(kSoapEnvelopeNamespace) + L"'"));
    return S_OK;
}

class MsXmlNode final : public XmlNode {
public:
    explicit MsXmlNode(ComPtr<IXMLDOMNode> node) : node_(std::move(node)) {}

    std::string LocalName() const override {
        try {
            Bstr name;
            if (node_->get_baseName(name.Put()) != S_OK) return {};
            return name.Utf8();
        } catch (...) {
            return {};
        }
    }

    std::string Text() const override {
        try {
            Bstr text;
            if (node_->get_text(text.Put()) != S_OK) return {};
            return text.Utf8();
        } catch (...) {
            return {};
        }
    }

    // Read from the attribute list, which also answers for nodes that are not elements.
    std::optional<std::string> Attribute(std::string_view name) const override {
        try {
            ComPtr<IXMLDOMNamedNodeMap> attributes;
            if (node_->get_attributes(attributes.Put()) != S_OK || !attributes) {
                return std::nullopt;
            }
            Bstr key(Wide(name));
            ComPtr<IXMLDOMNode> attribute;
            if (attributes->getNamedItem(key.Get(), attribute.Put()) != S_OK || !attribute) {
                return std::nullopt;
            }
            Bstr value;
            if (attribute->get_text(value.Put()) != S_OK) return std::string();
            return value.Utf8();
        } catch (...) {
            return std::nullopt;
        }
    }

    std::string Markup() const override {
        try {
            Bstr xml;
            if (node_->get_xml(xml.Put()) != S_OK) return {};
            return xml.Utf8();
        } catch (...) {
            return {};
        }
    }

    std::vector<std::unique_ptr<XmlNode>> SelectNodes(std::string_view xpath) const override {
        std::vector<std::unique_ptr<XmlNode>> nodes;
        try {
            if (xpath.empty()) return nodes;
            Bstr query(Wide(xpath));
            ComPtr<IXMLDOMNodeList> list;
            // A rejected expression fails here; that is "nothing selected".
            if (node_->selectNodes(query.Get(), list.Put()) != S_OK || !list) return nodes;
            long length = 0;
            if (list->get_length(&length) != S_OK) return nodes;
            nodes.reserve(static_cast<std::size_t>(length));
            for (long i = 0; i < length; ++i) {
                ComPtr<IXMLDOMNode> item;
                if (list->get_item(i, item.Put()) == S_OK && item) {
                    nodes.push_back(std::make_unique<MsXmlNode>(std::move(item)));
                }
            }
        } catch (...) {
            nodes.clear();
        }
        return nodes;
    }

    std::unique_ptr<XmlNode> SelectSingleNode(std::string_view xpath) const override {
        try {
            if (xpath.empty()) return nullptr;
            Bstr query(Wide(xpath));
            ComPtr<IXMLDOMNode> found;
            if (node_->selectSingleNode(query.Get(), found.Put()) != S_OK || !found) {
                return nullptr;
            }
            return std::make_unique<MsXmlNode>(std::move(found));
        } catch (...) {
            return nullptr;
        }
    }

    // A sibling walk: no node list is built, and nodes other than elements are skipped.
    std::vector<std::unique_ptr<XmlNode>> ChildElements() const override {
        std::vector<std::unique_ptr<XmlNode>> nodes;
        try {
            ComPtr<IXMLDOMNode> child;
            if (node_->get_firstChild(child.Put()) != S_OK) return nodes;
            while (child) {
                DOMNodeType type = NODE_INVALID;
                if (child->get_nodeType(&type) == S_OK && type == NODE_ELEMENT) {
                    nodes.push_back(std::make_unique<MsXmlNode>(child));
                }
                ComPtr<IXMLDOMNode> next;
                if (child->get_nextSibling(next.Put()) != S_OK) break;
                child = std::move(next);
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
            CollectBelow(*node_, localNames, nodes);
        } catch (...) {
            nodes.clear();
        }
        return nodes;
    }

private:
    // Depth first; the parser's depth limit bounds the recursion.
    static void CollectBelow(IXMLDOMNode& parent, const std::vector<std::string>& localNames,
                             std::vector<std::unique_ptr<XmlNode>>& nodes) {
        ComPtr<IXMLDOMNode> child;
        if (parent.get_firstChild(child.Put()) != S_OK) return;
        while (child) {
            DOMNodeType type = NODE_INVALID;
            if (child->get_nodeType(&type) == S_OK && type == NODE_ELEMENT) {
                bool wanted = localNames.empty();
                if (!wanted) {
                    Bstr name;
                    if (child->get_baseName(name.Put()) == S_OK) {
                        const std::string local = name.Utf8();
                        for (const std::string& n : localNames) wanted = wanted || n == local;
                    }
                }
                if (wanted) nodes.push_back(std::make_unique<MsXmlNode>(child));
                CollectBelow(*child, localNames, nodes);
            }
            ComPtr<IXMLDOMNode> next;
            if (child->get_nextSibling(next.Put()) != S_OK) break;
            child = std::move(next);
        }
    }

    // MSXML nodes hold their document, so a node outlives the object that loaded it.
    ComPtr<IXMLDOMNode> node_;
};

class MsXmlDocument final : public XmlDocument {
public:
    bool LoadXml(std::string_view text) override {
        root_.reset();
        error_ = {};
        try {
            // A fresh document per load: nothing of an earlier load can leak into this one.
            ComPtr<IXMLDOMDocument2> document;
            const HRESULT created = CreateConfiguredDocument(document);
            if (FAILED(created)) {
                char reason[64];
                std::snprintf(reason, sizeof reason, "MSXML 6 is not available (0x%08lX).",
                              static_cast<unsigned long>(created));
                error_.reason = reason;
                return false;
            }
            Bstr xml(Wide(text));
            VARIANT_BOOL loaded = VARIANT_FALSE;
            if (document->loadXML(xml.Get(), &loaded) != S_OK || loaded != VARIANT_TRUE) {
                ReadParseError(*document);
                return false;
            }
            // ProhibitDTD is the guard on Windows; an engine that ignores it (Wine's) must
            // still not hand out a document whose entities were expanded.
            ComPtr<IXMLDOMDocumentType> doctype;
            if (document->get_doctype(doctype.Put()) == S_OK && doctype) {
                error_.reason = "DTD is prohibited.";
                return false;
            }
            ComPtr<IXMLDOMElement> element;
            if (document->get_documentElement(element.Put()) != S_OK || !element) {
                error_.reason = "The document has no root element.";
                return false;
            }
            root_ = std::make_unique<MsXmlNode>(ComPtr<IXMLDOMNode>::Retain(element.Get()));
            return true;
        } catch (...) {
            root_.reset();
            error_ = {"Out of memory.", {}};
            return false;
        }
    }

    const XmlParseError& ParseError() const override { return error_; }
    const XmlNode* DocumentElement() const override { return root_.get(); }

private:
    void ReadParseError(IXMLDOMDocument2& document) {
        ComPtr<IXMLDOMParseError> parseError;
        if (document.get_parseError(parseError.Put()) == S_OK && parseError) {
            Bstr reason;
            Bstr line;
            parseError->get_reason(reason.Put());
            parseError->get_srcText(line.Put());
            error_.reason = TrimEnd(reason.Utf8(), "\r\n ");
            error_.srcText = TrimEnd(line.Utf8(), "\r\n");
        }
        if (error_.reason.empty()) error_.reason = "The document could not be parsed.";
    }

    XmlParseError error_;
    std::unique_ptr<MsXmlNode> root_;
};

class MsXmlFactory final : public XmlFactory {
public:
    std::unique_ptr<XmlDocument> CreateDocument() override {
        EnsureCom();
        return std::make_unique<MsXmlDocument>();
    }
};

}  // namespace

std::unique_ptr<XmlFactory> CreateXmlFactory() {
    return std::make_unique<MsXmlFactory>();
}

}  // namespace tovela::win32

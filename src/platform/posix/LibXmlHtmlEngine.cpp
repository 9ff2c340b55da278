// The HTML engine on libxml2's HTML parser.
#include "platform/posix/LibXmlHtmlEngine.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/xmlIO.h>

#include <cctype>
#include <climits>
#include <memory>
#include <string>

#include "submit/HtmlTextWriter.h"

namespace tovela::posix {
namespace {

// Errors stay quiet; the text is read as UTF-8 whatever a meta element in it claims.
constexpr int kParseOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;

struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// True when the text brings its own document structure: it is then parsed as it is, so
// its head stays in the head. A fragment is parsed inside a body of its own, which keeps
// libxml2 from wrapping loose text in a paragraph.
bool IsDocument(std::string_view html) {
    for (std::size_t at = html.find('<'); at != std::string_view::npos;
         at = html.find('<', at + 1)) {
        for (const std::string_view name : {"html", "head", "body"}) {
            if (at + 1 + name.size() > html.size()) continue;
            bool same = true;
            for (std::size_t i = 0; i < name.size() && same; ++i) {
                same = std::tolower(static_cast<unsigned char>(html[at + 1 + i])) == name[i];
            }
            const std::size_t end = at + 1 + name.size();
            if (same && (end == html.size() || html[end] == '>' || html[end] == '/' ||
                         std::isspace(static_cast<unsigned char>(html[end])))) {
                return true;
            }
        }
    }
    return false;
}

DocPtr Parse(std::string_view html) {
    std::string text = IsDocument(html) ? std::string(html)
                                        : "<html><body>" + std::string(html) + "</body></html>";
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
    return DocPtr(htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                 kParseOptions));
}

// The body element, which libxml2 adds to a document whose text has none unless nothing
// follows the head.
xmlNodePtr BodyOf(xmlDocPtr doc) {
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (root == nullptr) return nullptr;
    for (xmlNodePtr node = root->children; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE &&
            xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>("body")) == 0) {
            return node;
        }
    }
    return nullptr;
}

std::string Name(xmlNodePtr node) {
    std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The readable text of the body, walked without recursion: the parser's depth limit is
// its own business, not the stack's.
std::string TextOf(xmlNodePtr body) {
    HtmlTextWriter writer;
    xmlNodePtr node = body->children;
    while (node != nullptr) {
        bool descend = false;
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            if (node->content) writer.Text(reinterpret_cast<const char*>(node->content));
        } else if (node->type == XML_ELEMENT_NODE) {
            descend = writer.Open(Name(node));
            if (descend && node->children == nullptr) writer.Close(Name(node));
        }
        if (descend && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            node = node->parent;
            if (node == body) return writer.Take();
            writer.Close(Name(node));
        }
        if (node != nullptr) node = node->next;
    }
    return writer.Take();
}

class LibXmlHtmlEngine final : public HtmlEngine {
public:
    std::optional<std::string> BodyInnerHtml(std::string_view html) override {
        DocPtr doc = Parse(html);
        if (!doc) return std::nullopt;
        xmlNodePtr body = BodyOf(doc.get());
        if (body == nullptr) return std::string();
        xmlBufferPtr buffer = xmlBufferCreate();
        if (buffer == nullptr) return std::nullopt;
        xmlOutputBufferPtr out = xmlOutputBufferCreateBuffer(buffer, nullptr);
        if (out == nullptr) {
            xmlBufferFree(buffer);
            return std::nullopt;
        }
        for (xmlNodePtr child = body->children; child != nullptr; child = child->next) {
            htmlNodeDumpFormatOutput(out, doc.get(), child, "UTF-8", 0);
        }
        const bool written = xmlOutputBufferClose(out) >= 0;
        std::string inner;
        if (written && xmlBufferContent(buffer) != nullptr) {
            inner.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                         static_cast<std::size_t>(xmlBufferLength(buffer)));
        }
        xmlBufferFree(buffer);
        if (!written) return std::nullopt;
        return inner;
    }

    std::optional<std::string> BodyText(std::string_view html) override {
        DocPtr doc = Parse(html);
        if (!doc) return std::nullopt;
        xmlNodePtr body = BodyOf(doc.get());
        if (body == nullptr) return std::string();
        return TextOf(body);
    }
};

}  // namespace

std::unique_ptr<HtmlEngine> CreateHtmlEngine() {
    return std::make_unique<LibXmlHtmlEngine>();
}

}  // namespace tovela::posix

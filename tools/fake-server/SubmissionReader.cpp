#include "SubmissionReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <string_view>

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

struct ContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

std::string Utf8(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string LocalName(xmlNodePtr node) {
    return Utf8(node->name);
}

json Attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return nullptr;
    std::string text = Utf8(value);
    xmlFree(value);
    return text;
}

std::string Text(xmlNodePtr node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = Utf8(content);
    xmlFree(content);
    return text;
}

std::vector<xmlNodePtr> Children(xmlNodePtr node, const std::string& name) {
    std::vector<xmlNodePtr> found;
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && LocalName(child) == name) found.push_back(child);
    }
    return found;
}

xmlNodePtr Child(xmlNodePtr node, const std::string& name) {
    const std::vector<xmlNodePtr> found = Children(node, name);
    return found.empty() ? nullptr : found.front();
}

// An XML parser turns every line break in text into LF. A CR outside markup is handed over
// as a character reference, which it keeps, so a body is kept with the breaks it was sent.
// Only inside the root element: the prolog and what follows the root allow no references.
std::string KeepCarriageReturns(const std::string& xml) {
    std::size_t root = 0;
    while ((root = xml.find('<', root)) != std::string::npos && root + 1 < xml.size() &&
           (xml[root + 1] == '?' || xml[root + 1] == '!')) {
        ++root;
    }
    const std::size_t rootEnd = xml.rfind('>');
    if (root == std::string::npos || rootEnd == std::string::npos || rootEnd < root) return xml;
    std::string out = xml.substr(0, root);
    out.reserve(xml.size());
    bool inTag = false;
    char quote = 0;
    for (const char c : std::string_view(xml).substr(root, rootEnd - root)) {
        if (inTag) {
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                inTag = false;
            }
        } else if (c == '<') {
            inTag = true;
        } else if (c == '\r') {
            out += "&#13;";
            continue;
        }
        out += c;
    }
    return out + xml.substr(rootEnd);
}

json Addressee(xmlNodePtr e) {
    return {{"address", Attribute(e, "a")}, {"personal", Attribute(e, "p")}};
}

json ReadMessage(xmlNodePtr operation, std::string& error) {
    xmlNodePtr m = Child(operation, "m");
    if (m == nullptr) {
        error = "invalid request: no m element";
        return nullptr;
    }
    json message = {{"identity", Attribute(m, "idnt")},
                    {"flags", Attribute(m, "f")},
                    {"from", nullptr},
                    {"replyTo", nullptr},
                    {"to", json::array()},
                    {"cc", json::array()},
                    {"bcc", json::array()},
                    {"subject", nullptr},
                    {"contentType", nullptr},
                    {"body", nullptr},
                    {"attachIds", nullptr}};
    for (xmlNodePtr e : Children(m, "e")) {
        const json type = Attribute(e, "t");
        const std::string t = type.is_string() ? type.get<std::string>() : "";
        if ((t == "f" && message["from"].is_null()) || (t == "r" && message["replyTo"].is_null())) {
            message[t == "f" ? "from" : "replyTo"] = Addressee(e);
        } else if (t == "t" || t == "c" || t == "b") {
            message[t == "t" ? "to" : t == "c" ? "cc" : "bcc"].push_back(Addressee(e));
        }
    }
    if (xmlNodePtr su = Child(m, "su")) message["subject"] = Text(su);
    // The body part: the one marked as such, else the first.
    const std::vector<xmlNodePtr> parts = Children(m, "mp");
    xmlNodePtr body = parts.empty() ? nullptr : parts.front();
    for (xmlNodePtr part : parts) {
        if (Attribute(part, "body") == "1") {
            body = part;
            break;
        }
    }
    if (body != nullptr) {
        message["contentType"] = Attribute(body, "ct");
        if (xmlNodePtr content = Child(body, "content")) message["body"] = Text(content);
    }
    if (xmlNodePtr attach = Child(m, "attach")) message["attachIds"] = Attribute(attach, "aid");
    return message;
}

json ReadDocument(xmlNodePtr operation, std::string& error) {
    xmlNodePtr doc = Child(operation, "doc");
    xmlNodePtr upload = doc ? Child(doc, "upload") : nullptr;
    const json uploadId = upload ? Attribute(upload, "id") : json();
    if (!uploadId.is_string() || uploadId.get<std::string>().empty()) {
        error = "invalid request: no upload id";
        return nullptr;
    }
    return {{"requestId", Attribute(operation, "requestId")},
            {"folder", Attribute(doc, "l")},
            {"uploadId", uploadId},
            {"name", Attribute(doc, "name")}};
}

// The operations at any depth, as the request scan finds them, in document order.
void Collect(xmlNodePtr root, std::vector<ReadSubmission>& out) {
    xmlNodePtr node = root;
    while (node != nullptr) {
        if (node->type == XML_ELEMENT_NODE && IsSubmission(LocalName(node))) {
            ReadSubmission op;
            op.name = LocalName(node);
            op.ns = node->ns && node->ns->href ? Utf8(node->ns->href) : "";
            const json requestId = Attribute(node, "requestId");
            if (requestId.is_string()) op.requestId = requestId.get<std::string>();
            op.fields = op.name == "SaveDocumentRequest" ? ReadDocument(node, op.error)
                                                         : ReadMessage(node, op.error);
            out.push_back(std::move(op));
        } else if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != nullptr && node != root && node->next == nullptr) node = node->parent;
        node = node == nullptr || node == root ? nullptr : node->next;
    }
}

}  // namespace

bool IsSubmission(const std::string& operationName) {
    return operationName == "SendMsgRequest" || operationName == "SaveDraftRequest" ||
           operationName == "SaveDocumentRequest";
}

ReadEnvelope ReadSubmissions(const std::string& envelope) {
    ReadEnvelope read;
    const std::string xml = KeepCarriageReturns(envelope);
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
        read.parseError = "the envelope is too large";
        return read;
    }
    std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (!context) {
        read.parseError = "out of memory";
        return read;
    }
    // No network, no DTD loading and no entity substitution.
    std::unique_ptr<xmlDoc, DocFree> doc(
        xmlCtxtReadMemory(context.get(), xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc || context->wellFormed == 0) {
        const std::string reason =
            Utf8(reinterpret_cast<const xmlChar*>(context->lastError.message));
        read.parseError = reason.empty() ? "the envelope is not well-formed" : reason;
        while (!read.parseError.empty() && read.parseError.back() == '\n')
            read.parseError.pop_back();
        return read;
    }
    if (doc->intSubset != nullptr) {
        read.parseError = "a document type declaration is not allowed";
        return read;
    }
    Collect(xmlDocGetRootElement(doc.get()), read.submissions);
    return read;
}

}  // namespace tovela::fakeserver

// Parsing a server response with libxml2: no DTD, no entities beyond the predefined ones,
// and the first error with the line it points at.
#include "platform/posix/LibXmlParse.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

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

struct ParserContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

// The parsed tree, or null with the first error in `state`.
xmlDocPtr Parse(std::string_view text, ParseState& state) {
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

}  // namespace

xmlDocPtr ParseResponse(std::string_view text, XmlParseError& error) {
    ParseState state;
    state.text = text;
    xmlDocPtr doc = Parse(text, state);
    if (doc == nullptr) {
        error = state.error;
        if (error.reason.empty()) error.reason = "The document could not be parsed.";
    }
    return doc;
}

}  // namespace tovela::posix

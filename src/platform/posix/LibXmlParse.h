#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "platform/XmlDocument.h"

namespace tovela::posix {

// The tree of a response text, to be freed with xmlFreeDoc; null, with the reason and the
// line the parser stopped at in `error`, when the text is no well-formed document or carries a
// document type declaration.
xmlDocPtr ParseResponse(std::string_view text, XmlParseError& error);

}  // namespace tovela::posix

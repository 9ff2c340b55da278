#pragma once

#include <memory>

#include "platform/HtmlEngine.h"

namespace tovela::win32 {

// The system's HTML document object (MSHTML), with scripts, downloads and controls off.
// Where it cannot be created (a system without it, Wine without its HTML engine) or fails
// on a text, the portable FallbackHtmlEngine answers instead.
std::unique_ptr<HtmlEngine> CreateHtmlEngine();

// Whether this system can create the HTML document object; otherwise every answer comes
// from the fallback.
bool HtmlDocumentObjectAvailable();

}  // namespace tovela::win32

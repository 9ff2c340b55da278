#pragma once

#include <memory>

#include "platform/HtmlEngine.h"

namespace tovela::posix {

// libxml2's HTML parser: no network, no external entities, its own limits on depth and size.
std::unique_ptr<HtmlEngine> CreateHtmlEngine();

}  // namespace tovela::posix

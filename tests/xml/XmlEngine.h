#pragma once

#include <memory>

#include "platform/XmlDocument.h"

namespace tovela::testing {

// The XML engine of the back end under test (libxml2 on Linux, MSXML on Windows).
std::unique_ptr<XmlFactory> MakeXmlFactory();

}  // namespace tovela::testing

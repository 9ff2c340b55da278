#pragma once

#include <memory>

#include "platform/HttpRequest.h"
#include "platform/XmlDocument.h"

namespace tovela::posix {

std::unique_ptr<XmlFactory> CreateXmlFactory();    // libxml2
std::unique_ptr<HttpFactory> CreateHttpFactory();  // libcurl

}  // namespace tovela::posix

#pragma once

#include <memory>

#include "platform/HttpRequest.h"
#include "platform/XmlDocument.h"

namespace tovela::win32 {

std::unique_ptr<XmlFactory> CreateXmlFactory();    // MSXML 6
std::unique_ptr<HttpFactory> CreateHttpFactory();  // WinHTTP

}  // namespace tovela::win32

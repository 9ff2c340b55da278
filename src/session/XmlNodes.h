#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/XmlDocument.h"

// Selections in the program's own path language (see ResponsePath.h). A path that selects
// nothing, or that the XML library rejects, is no error: the answer is false or empty.
namespace tovela {

// True when the path selects at least one node.
bool NodeExists(const XmlNode& node, std::string_view path);
// The text content of the first selected node.
std::string NodeText(const XmlNode& node, std::string_view path);
// Attribute `name` of the first selected node; empty when the node or the attribute is missing.
std::string NodeAttribute(const XmlNode& node, std::string_view path, std::string_view name);
// True when the first selected node exists and has attribute `name` (even an empty one).
bool NodeHasAttribute(const XmlNode& node, std::string_view path, std::string_view name);

// Attribute `name` of the node itself; empty when it is missing.
std::string AttributeText(const XmlNode& node, std::string_view name);

std::vector<std::unique_ptr<XmlNode>> SelectNodes(const XmlNode& node, std::string_view path);
std::unique_ptr<XmlNode> SelectSingleNode(const XmlNode& node, std::string_view path);

}  // namespace tovela

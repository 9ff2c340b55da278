#include "session/XmlNodes.h"

#include <optional>

#include "session/ResponsePath.h"

namespace tovela {

// The back ends promise not to throw, but a failed allocation still could; none of these
// may stop the response pass.

std::vector<std::unique_ptr<XmlNode>> SelectNodes(const XmlNode& node, std::string_view path) {
    try {
        const std::string xpath = ToXPath(path);
        if (xpath.empty()) return {};
        return node.SelectNodes(xpath);
    } catch (...) {
        return {};
    }
}

std::unique_ptr<XmlNode> SelectSingleNode(const XmlNode& node, std::string_view path) {
    try {
        const std::string xpath = ToXPath(path);
        if (xpath.empty()) return nullptr;
        return node.SelectSingleNode(xpath);
    } catch (...) {
        return nullptr;
    }
}

bool NodeExists(const XmlNode& node, std::string_view path) {
    return SelectSingleNode(node, path) != nullptr;
}

std::string NodeText(const XmlNode& node, std::string_view path) {
    try {
        auto found = SelectSingleNode(node, path);
        return found ? found->Text() : std::string();
    } catch (...) {
        return {};
    }
}

namespace {

std::optional<std::string> FirstAttribute(const XmlNode& node, std::string_view path,
                                          std::string_view name) {
    try {
        auto found = SelectSingleNode(node, path);
        if (!found) return std::nullopt;
        return found->Attribute(name);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

std::string NodeAttribute(const XmlNode& node, std::string_view path, std::string_view name) {
    return FirstAttribute(node, path, name).value_or(std::string());
}

bool NodeHasAttribute(const XmlNode& node, std::string_view path, std::string_view name) {
    return FirstAttribute(node, path, name).has_value();
}

}  // namespace tovela

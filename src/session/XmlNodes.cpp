#include "session/XmlNodes.h"

#include <algorithm>
#include <optional>

#include "session/ResponsePath.h"

namespace tovela {
namespace {

using Nodes = std::vector<std::unique_ptr<XmlNode>>;

bool MeetsConditions(const XmlNode& element, const ElementStep& step) {
    for (const ElementStep::Condition& condition : step.attributes) {
        const std::optional<std::string> value = element.Attribute(condition.name);
        if (!value || (condition.value && *value != *condition.value)) return false;
    }
    return true;
}

bool Matches(const XmlNode& element, const ElementStep& step) {
    if (!step.names.empty()) {
        const std::string name = element.LocalName();
        if (std::find(step.names.begin(), step.names.end(), name) == step.names.end()) {
            return false;
        }
    }
    return MeetsConditions(element, step);
}

// Appends what steps [index, end) select below `node`, in document order; stops once `first`
// is set and something was found. Only the last step of a plan reaches any depth, so the
// nodes every other step gives never contain one another.
void Walk(const XmlNode& node, const std::vector<ElementStep>& steps, std::size_t index, bool first,
          Nodes& found) {
    const ElementStep& step = steps[index];
    const bool last = index + 1 == steps.size();
    if (step.anyDepth) {
        // The back end searches the subtree itself, far faster than a walk through this port.
        for (auto& element : node.DescendantElements(step.names)) {
            if (!MeetsConditions(*element, step)) continue;
            found.push_back(std::move(element));
            if (first) return;
        }
        return;
    }
    for (auto& child : node.ChildElements()) {
        if (!Matches(*child, step)) continue;
        if (last) {
            found.push_back(std::move(child));
        } else {
            Walk(*child, steps, index + 1, first, found);
        }
        if (first && !found.empty()) return;
    }
}

Nodes Select(const XmlNode& node, std::string_view path, bool first) {
    const auto plan = PlanPath(path);
    if (plan->tail.empty()) {
        if (plan->xpath.empty()) return {};
        if (!first) return node.SelectNodes(plan->xpath);
        Nodes one;
        if (auto found = node.SelectSingleNode(plan->xpath)) one.push_back(std::move(found));
        return one;
    }
    Nodes found;
    if (plan->xpath.empty()) {
        Walk(node, plan->tail, 0, first, found);
        return found;
    }
    for (const auto& start : node.SelectNodes(plan->xpath)) {
        Walk(*start, plan->tail, 0, first, found);
        if (first && !found.empty()) break;
    }
    return found;
}

}  // namespace

// The back ends promise not to throw, but a failed allocation still could; none of these
// may stop the response pass.

std::vector<std::unique_ptr<XmlNode>> SelectNodes(const XmlNode& node, std::string_view path) {
    try {
        return Select(node, path, false);
    } catch (...) {
        return {};
    }
}

std::unique_ptr<XmlNode> SelectSingleNode(const XmlNode& node, std::string_view path) {
    try {
        Nodes found = Select(node, path, true);
        if (found.empty()) return nullptr;
        return std::move(found.front());
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

std::string AttributeText(const XmlNode& node, std::string_view name) {
    return node.Attribute(name).value_or(std::string());
}

std::string NodeAttribute(const XmlNode& node, std::string_view path, std::string_view name) {
    return FirstAttribute(node, path, name).value_or(std::string());
}

bool NodeHasAttribute(const XmlNode& node, std::string_view path, std::string_view name) {
    return FirstAttribute(node, path, name).has_value();
}

}  // namespace tovela

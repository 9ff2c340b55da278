#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "integration/ProgramRun.h"

namespace tovela::testing {

// The desktop events the program printed so far, one JSON object per line.
inline std::vector<nlohmann::json> Events(const std::filesystem::path& output) {
    std::vector<nlohmann::json> events;
    std::istringstream lines(ReadText(output));
    std::string line;
    while (std::getline(lines, line)) {
        auto event = nlohmann::json::parse(line, nullptr, false);
        if (!event.is_discarded()) events.push_back(event);
    }
    return events;
}

// The last event of that kind that also satisfies `match`, once there is one.
inline std::optional<nlohmann::json> WaitForEvent(
    const std::filesystem::path& output, const std::string& kind,
    const std::function<bool(const nlohmann::json&)>& match = {}) {
    std::optional<nlohmann::json> found;
    WaitUntil([&] {
        const auto events = Events(output);
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (it->value("event", "") == kind && (!match || match(*it))) {
                found = *it;
                return true;
            }
        }
        return false;
    });
    return found;
}

inline std::optional<nlohmann::json> Balloon(const std::filesystem::path& output,
                                             const std::string& title) {
    for (const auto& e : Events(output)) {
        if (e.value("event", "") == "notifyIcon" && e.value("infoTitle", "") == title) return e;
    }
    return std::nullopt;
}

}  // namespace tovela::testing

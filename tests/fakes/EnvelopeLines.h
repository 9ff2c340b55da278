#pragma once

#include <string>
#include <vector>

namespace tovela::testing {

// Joins lines as the envelopes are sent: CR LF after each but the last.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size()) text += "\r\n";
    }
    return text;
}

}  // namespace tovela::testing

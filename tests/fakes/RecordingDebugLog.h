#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/DebugLog.h"

namespace tovela::testing {

class RecordingDebugLog final : public DebugLog {
public:
    void Write(std::string_view line) override { lines.emplace_back(line); }

    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> lines;
};

}  // namespace tovela::testing

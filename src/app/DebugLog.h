#pragma once

#include <string_view>

namespace tovela {

// The trace sink. Callers hand over one finished line; the sink never fails and never
// changes what the program does.
class DebugLog {
public:
    virtual ~DebugLog() = default;
    virtual void Write(std::string_view line) = 0;
};

// A sink that drops everything: the configuration users run by default.
class NullDebugLog final : public DebugLog {
public:
    void Write(std::string_view) override {}
};

}  // namespace tovela

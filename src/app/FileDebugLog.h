#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "app/DebugLog.h"

namespace tovela {

// Appends trace lines to a file, but only when that file already exists: creating the file
// switches tracing on, deleting it switches it off again. The password never reaches the
// file: the current one is masked wherever it appears, and so is the content of every
// <password> element inside the Base64 envelopes of the exchange lines.
class FileDebugLog final : public DebugLog {
public:
    FileDebugLog(std::filesystem::path file, std::function<std::string()> currentPassword);

    void Write(std::string_view line) override;

    // The line as it would be stored.
    std::string Redact(std::string_view line) const;

    static constexpr const char* kFileName = "debug.log";

private:
    std::filesystem::path file_;
    std::function<std::string()> currentPassword_;
    bool restricted_ = false;
};

}  // namespace tovela

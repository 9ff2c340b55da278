#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

namespace tovela::posix {

// Settings in <config folder>/<app>/<section>.ini: one [section] of key=value lines in
// UTF-8. Backslash, CR and LF inside a value are written as \\, \r and \n so that every
// value stays on its line. Each save rewrites the file through a temporary and a rename,
// so a crash never leaves half a file.
class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::string configFolder) : folder_(std::move(configFolder)) {}

    std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                          std::string_view key) override;
    void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) override;

    // ${XDG_CONFIG_HOME:-$HOME/.config}
    static std::string DefaultConfigFolder();

    using Entries = std::vector<std::pair<std::string, std::string>>;
    static Entries Parse(std::string_view content, std::string_view section);
    static std::string Format(const Entries& entries, std::string_view section);

private:
    std::string FilePath(std::string_view app, std::string_view section) const;
    std::string folder_;
};

}  // namespace tovela::posix

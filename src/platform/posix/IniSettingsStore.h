#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
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
    // A file as last read or written: read again only when something else changed it.
    using Identity = std::optional<std::tuple<dev_t, ino_t, off_t, std::int64_t, long>>;
    struct File {
        Entries entries;
        std::unordered_map<std::string, std::size_t> index;  // key → position in entries
        Identity identity;
    };
    static Identity IdentityOf(const std::string& path);
    File& Load(const std::string& path, std::string_view section);
    std::string FilePath(std::string_view app, std::string_view section) const;
    std::string folder_;
    std::map<std::string, File> files_;
};

}  // namespace tovela::posix

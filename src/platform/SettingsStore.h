#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovela {

// The per-user application settings area: text values under an application name and a
// section. Windows keeps them in the registry where the classic runtime's settings
// functions put them; Linux in an INI file per application and section.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is absent.
    virtual std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                                  std::string_view key) = 0;
    // Errors are not reported: a value that cannot be stored is simply not there next time.
    virtual void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) = 0;
};

}  // namespace tovela

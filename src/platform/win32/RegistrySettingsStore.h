#pragma once

#include "platform/SettingsStore.h"

namespace tovela::win32 {

// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>, one REG_SZ per
// key: where the classic runtime's settings functions keep them, so stored values of
// earlier installations are found.
class RegistrySettingsStore final : public SettingsStore {
public:
    std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                          std::string_view key) override;
    void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) override;
};

}  // namespace tovela::win32

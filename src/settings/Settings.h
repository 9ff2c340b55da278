#pragma once

#include <string>
#include <string_view>

#include "app/DebugLog.h"
#include "notify/TrayMenus.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsIntegration.h"
#include "settings/SettingsWindow.h"

namespace tovela {

inline constexpr std::string_view kSettingsApp = "NotificadorTovela";
inline constexpr std::string_view kSettingsSection = "Settings";

// The stored text of a key, or `defaultValue` when the key is absent.
std::string TraeSetting(SettingsStore& store, DebugLog& log, std::string_view app,
                        std::string_view section, std::string_view key,
                        std::string_view defaultValue);

// Puts the stored settings into the window and the menus at start-up. Every value goes
// through the window's setters so their handlers run as for a user's edit; the order
// keeps those handlers from wiping the password just restored. Values that do not parse
// read as the key's default.
void RestoreSettings(SettingsWindow& window, TrayMenus& menus, SettingsStore& store, DebugLog& log);

// Writes every setting from the window, the password held and the menu marks, then lets
// the desktop integration follow them. `mode` is one of the kSave* values.
void SaveTNSettings(int mode, const SettingsWindow& window, TrayMenus& menus, SettingsStore& store,
                    DebugLog& log, SettingsIntegration& integration);

}  // namespace tovela

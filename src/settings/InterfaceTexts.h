#pragma once

#include "app/DebugLog.h"
#include "notify/TrayMenus.h"
#include "platform/SettingsWindowModel.h"

namespace tovela {

// Replaces the design texts of the settings window and both menus with the Japanese
// interface texts. Texts not set here (webmail login, the calendar menu's labels) keep
// their design or run-time texts.
void TranslateControls(SettingsWindowModel& window, TrayMenus& menus, DebugLog& log);

// The dialog font with the Japanese character set, for every control of the window.
void ApplyDialogFont(SettingsWindowModel& window);

}  // namespace tovela

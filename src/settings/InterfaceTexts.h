#pragma once

#include "app/DebugLog.h"
#include "notify/TrayMenus.h"
#include "settings/SettingsWindowModel.h"

namespace tovela {

// Replaces the design texts of the settings window and both menus with the Japanese
// interface texts. Texts not set here (webmail login, the calendar menu's labels) keep
// their design or run-time texts.
void TranslateControls(SettingsWindowModel& window, TrayMenus& menus, DebugLog& log);

}  // namespace tovela

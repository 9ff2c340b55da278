#pragma once

#include <string>

#include "notify/TrayMenus.h"

namespace tovela {

// Why the settings are being saved; the desktop integration acts differently for each.
inline constexpr int kSaveAtStartup = 0;
inline constexpr int kSaveOnApply = 1;
inline constexpr int kSaveAtShutdown = 2;

// The desktop integration that saving the settings drives: the mail-handler mark, the
// SendTo shortcuts and add-in clean-up, and the registry entries.
class SettingsIntegration {
public:
    virtual ~SettingsIntegration() = default;
    // Brings the mail-handler menu mark in line with what the registry really says.
    virtual void SyncMailHandlerMark(TrayMenus& menus) = 0;
    virtual void UpdateShortcuts(int mode) = 0;
    virtual void RawSaveRegistry(int mode) = 0;
    // Whether the system takes the program for the default mail client (the mail item's mark).
    virtual bool IsDefaultMailClient() { return false; }
    // Deletes the briefcase shortcut, for an account that may not use the briefcase.
    virtual void DeleteBriefcaseShortcut() {}
    // The Send To menu's folder with a trailing separator; empty before the first save.
    virtual std::string SendToFolder() { return {}; }
};

// Until the integration exists, and for tests that only care about the stored values.
class NoSettingsIntegration final : public SettingsIntegration {
public:
    void SyncMailHandlerMark(TrayMenus&) override {}
    void UpdateShortcuts(int) override {}
    void RawSaveRegistry(int) override {}
};

}  // namespace tovela

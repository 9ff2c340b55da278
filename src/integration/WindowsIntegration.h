#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/DebugLog.h"
#include "integration/MailClientRegistration.h"
#include "integration/OfficeAddins.h"
#include "integration/Registry2.h"
#include "integration/SendToShortcuts.h"
#include "notify/TrayMenus.h"
#include "platform/Registry.h"
#include "platform/ShellEnvironment.h"
#include "platform/ShellLink.h"
#include "platform/SystemInfo.h"
#include "settings/SettingsIntegration.h"

namespace tovela {

// The system services the desktop integration works through.
struct IntegrationPorts {
    Registry& registry;
    ShellEnvironment& shell;
    ShellLinkFactory& links;
    SystemInfo& system;
    // Where the program and its companion files lie.
    std::string programFolder;
};

// What the integration asks of the main form.
struct IntegrationHooks {
    ShowMessageFn showMessage;
    // A balloon on the main tray icon.
    std::function<void(const std::string&)> balloon;
    // Whether the account may use the briefcase; empty before a login has told.
    std::function<std::optional<bool>()> briefcaseRight;
};

// Registration, shortcuts and add-in clean-up, driven by every save of the settings and
// following the two integration marks of the tray menu.
class WindowsIntegration final : public SettingsIntegration {
public:
    WindowsIntegration(IntegrationPorts ports, const TrayMenus& menus, DebugLog& log,
                       IntegrationHooks hooks);

    void SyncMailHandlerMark(TrayMenus& menus) override;
    void UpdateShortcuts(int mode) override;
    void RawSaveRegistry(int mode) override;
    bool IsDefaultMailClient() override;
    void DeleteBriefcaseShortcut() override;
    std::string SendToFolder() override;

private:
    const TrayMenus& menus_;
    DebugLog& log_;
    IntegrationHooks hooks_;
    ShellEnvironment& shell_;
    Registry2 registry_;
    MailClientRegistration registration_;
    SendToShortcuts shortcuts_;
};

}  // namespace tovela

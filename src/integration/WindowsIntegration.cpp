#include "integration/WindowsIntegration.h"

namespace tovela {

WindowsIntegration::WindowsIntegration(IntegrationPorts ports, const TrayMenus& menus,
                                       DebugLog& log, IntegrationHooks hooks)
    : menus_(menus),
      log_(log),
      hooks_(std::move(hooks)),
      shell_(ports.shell),
      registry_(ports.registry, log),
      registration_(registry_, ports.shell, ports.system, ports.programFolder, log, hooks_.balloon),
      shortcuts_(ports.shell, ports.links, ports.system, ports.programFolder, log) {
    if (!hooks_.showMessage)
        hooks_.showMessage = [](const std::string&, int, const std::string&) {};
}

void WindowsIntegration::SyncMailHandlerMark(TrayMenus& menus) {
    menus.mnuPopWinSetupMailtoHandler.checked =
        registration_.IsDefaultMailClient(menus.mnuPopWinSetupMailtoHandler.checked);
}

void WindowsIntegration::UpdateShortcuts(int mode) {
    shortcuts_.Update(mode, hooks_.briefcaseRight ? hooks_.briefcaseRight() : std::nullopt);
    RemoveOldAddins(shell_, log_, hooks_.showMessage);
}

void WindowsIntegration::RawSaveRegistry(int mode) {
    registration_.RawSaveRegistry(mode, menus_.mnuPopWinSetupAutoRun.checked,
                                  menus_.mnuPopWinSetupMailtoHandler.checked);
}

bool WindowsIntegration::IsDefaultMailClient() {
    return registration_.IsDefaultMailClient(menus_.mnuPopWinSetupMailtoHandler.checked);
}

void WindowsIntegration::DeleteBriefcaseShortcut() {
    shortcuts_.DeleteBriefcaseShortcut();
}

std::string WindowsIntegration::SendToFolder() {
    return shortcuts_.SendToFolder();
}

}  // namespace tovela

// The tray menu and the calendar menu of the main form: how each is prepared before it pops
// up and what its entries do.
#include "app/LocalTime.h"
#include "app/frmMain.h"
#include "settings/Settings.h"

namespace tovela {

bool frmMain::CredentialsComplete() const {
    const SettingsWindowModel& m = settings.Model();
    return !m.txtTovelaHost.text.empty() && !m.txtUsuario.text.empty() && !sPassword.empty();
}

void frmMain::CheckFromTray(bool sayWhatIsMissing) {
    if (!CredentialsComplete()) {
        settings.ShowSettingsWindow();
        if (sayWhatIsMissing) {
            ShowMessage("すべての必須フィールドに入力してください", kStyleInformation, "");
        }
        return;
    }
    if (Comprobar(false)) {
        pollTimer.Start(PollInterval);
        RetryOutbox();
    } else {
        // Polling stays off until a check the user starts succeeds.
        settings.ShowSettingsWindow();
        ShowMessage(session.sLastError, kStyleExclamation, "");
    }
}

void frmMain::OpenTrayMenu() {
    platform_.desktop->FixTrayTooltipsZOrder();
    platform_.form->SetForegroundWindow();
    PrepareTrayMenu(menus, !session.sAuthToken.empty());
    // The mark shows what the registry says now: another program may have taken over.
    menus.mnuPopWinSetupMailtoHandler.checked = integration_->IsDefaultMailClient();
    MenuCommandPicked(
        static_cast<MenuCommand>(platform_.form->TrackPopupMenu(TrayMenuItems(menus))));
}

Icontify* frmMain::CalendarItem() {
    // A check that ran while the menu or a question was open may have released the
    // appointment, or even put another one in its slot: the record is found by its id.
    auto& slots = calendar.aCalIcons;
    if (nCalItem >= 0 && static_cast<std::size_t>(nCalItem) < slots.size()) {
        Icontify* slot = slots[static_cast<std::size_t>(nCalItem)].get();
        if (slot && slot->sId == sCalItemId) return slot;
    }
    const int index = calendar.FindApptIndex(sCalItemId);
    return index > 0 ? slots[static_cast<std::size_t>(index)].get() : nullptr;
}

void frmMain::OpenCalendarMenu(Icontify& Source) {
    platform_.form->SetForegroundWindow();
    nCalItem = static_cast<std::int16_t>(Source.Tag);
    sCalItemId = Source.sId;
    if (Icontify* appointment = CalendarItem()) {
        PrepareCalendarMenu(menus, *appointment,
                            LocalNowSeconds(*platform_.clock, *platform_.timeZone));
    }
    MenuCommandPicked(
        static_cast<MenuCommand>(platform_.form->TrackPopupMenu(CalendarMenuItems(menus))));
}

void frmMain::MenuCommandPicked(MenuCommand command) {
    switch (command) {
        case MenuCommand::mnuPopAbrirTovela:
        case MenuCommand::mnuCalAbrirTovela:
            OpenWebmail("");
            break;
        case MenuCommand::mnuPopComprobar:
            CheckFromTray(true);
            break;
        case MenuCommand::mnuPopConf:
            settings.mnuPopConf_Click();
            break;
        case MenuCommand::mnuPopWinSetupMailtoHandler:
            menus.mnuPopWinSetupMailtoHandler.checked = !menus.mnuPopWinSetupMailtoHandler.checked;
            SaveTNSettings(kSaveOnApply, settings, menus, *platform_.settings, log_, *integration_);
            break;
        case MenuCommand::mnuPopWinSetupAutoRun:
            menus.mnuPopWinSetupAutoRun.checked = !menus.mnuPopWinSetupAutoRun.checked;
            SaveTNSettings(kSaveOnApply, settings, menus, *platform_.settings, log_, *integration_);
            break;
        case MenuCommand::mnuPopAbout:
            platform_.shell->ShellOpen(kProductPage, "");
            break;
        case MenuCommand::mnuPopSalir:
            mnuPopSalir_Click();
            break;
        case MenuCommand::mnuCalEliminar:
            mnuCalEliminar_Click();
            break;
        case MenuCommand::mnuCalNotificar:
            mnuCalNotificar_Click();
            break;
        case MenuCommand::None:
        case MenuCommand::mnuCalCaption:
        case MenuCommand::mnuCalWhen:
        case MenuCommand::mnuCalTerminada:
            break;
    }
    RenderSettings();
}

void frmMain::mnuCalNotificar_Click() {
    if (nCalItem < 0) return;
    if (Icontify* appointment = CalendarItem()) {
        appointment->bNotify = !appointment->bNotify;
        // Switched back on, it shows again when a check finds it due.
        if (!appointment->bNotify) appointment->BorraIcono();
    }
    nCalItem = -1;
}

}  // namespace tovela

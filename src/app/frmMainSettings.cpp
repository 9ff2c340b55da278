// The settings window's part of the main form: the user's actions on its controls, "OK"
// and the closing animation.
#include "app/Version.h"
#include "app/frmMain.h"
#include "session/LeadingNumber.h"
#include "settings/Settings.h"

namespace tovela {

namespace {
constexpr std::uint32_t kYesNoQuestion = 0x24;  // MB_YESNO | MB_ICONQUESTION
constexpr int kAnswerYes = 6;
constexpr int kNotAsked = -1;
}  // namespace

void frmMain::RenderSettings() {
    if (renderable_) platform_.form->Render(settings.Model());
}

void frmMain::OnTextChanged(ControlId box, const std::string& text) {
    settings.SetText(box, text);
    RenderSettings();
}

void frmMain::OnCheckClicked(ControlId box, int value) {
    settings.SetCheck(box, value);
    RenderSettings();
}

void frmMain::OnOptionClicked(ControlId option) {
    settings.SetOption(option, true);
    RenderSettings();
}

void frmMain::OnButtonClicked(ControlId button) {
    if (button == ControlId::cmdAceptar) {
        cmdAceptar_Click();
    } else if (button == ControlId::cmdCerrar) {
        settings.cmdCerrar_Click();
    }
    RenderSettings();
}

bool frmMain::OnFocusChanged(ControlId control) {
    const bool moved = settings.SetFocus(control);
    RenderSettings();
    return moved;
}

void frmMain::OnActivated() {
    settings.Form_Activate();
    RenderSettings();
}

void frmMain::cmdAceptar_Click() {
    const SettingsWindowModel& m = settings.Model();
    // Enter in another box is not meant as "OK".
    if (m.active != ControlId::cmdAceptar && m.active != ControlId::txtPassword) return;
    if (!m.txtPassword.text.empty() && sPassword.empty()) settings.CapturePassword();
    if (m.txtTovelaHost.text.empty() || m.txtUsuario.text.empty() || sPassword.empty()) {
        settings.ShowSettingsWindow();
        ShowMessage("すべての必須フィールドに入力してください", kStyleInformation, "");
        settings.SetFocus(ControlId::txtPassword);
        return;
    }
    if (m.optWhiteList.value && m.txtFilters.text.empty()) {
        ShowMessage("リマインドする...", kStyleQuestion, "");
        settings.SetText(ControlId::txtFilters, "受信箱");
        settings.SelectAllText(ControlId::txtFilters);
        settings.SetFocus(ControlId::txtFilters);
        platform_.desktop->Beep();
        return;
    }
    if (!Comprobar(false)) {
        // The poll timer stays stopped until the entries work.
        settings.ShowSettingsWindow();
        ShowMessage(session.sLastError, kStyleExclamation, "");
        settings.SetFocus(ControlId::txtUsuario);
        return;
    }
    if (!menus.mnuPopWinSetupMailtoHandler.checked) {
        const int answer = platform_.form->MessageBoxCheck(
            "デフォルトのメールアプリケーションとして設定 ?", TrayIcon::TooltipText(),
            kYesNoQuestion, kNotAsked, kDefaultMailClientQuestion);
        if (answer != kNotAsked) menus.mnuPopWinSetupMailtoHandler.checked = answer == kAnswerYes;
    }
    AnimateWindow();
    settings.HideSettingsWindow();
    SaveTNSettings(kSaveOnApply, settings, menus, *platform_.settings, log_, *integration_);
    pollTimer.Start(PollInterval);
    // What waited for the login goes now.
    RetryOutbox();
}

void frmMain::AnimateWindow() {
    // Windows whose animations are switched off draw none here either.
    const auto minAnimate = platform_.form->MinAnimateSetting();
    if (!minAnimate || LeadingNumber(*minAnimate) == 0) return;
    platform_.form->DrawAnimatedRectsToTray();
}

}  // namespace tovela

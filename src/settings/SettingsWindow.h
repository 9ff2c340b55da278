#pragma once

#include <string>
#include <string_view>

#include "platform/SettingsWindowModel.h"
#include "session/SessionContext.h"
#include "settings/SettingsWindowHost.h"

namespace tovela {

// The settings window's behaviour over its model. Texts, check values and options are
// changed through the setters, which run the control's handler exactly when the classic
// control would: editing the host or the user name invalidates the session on the spot,
// some check boxes drop a password that was entered for other conditions.
class SettingsWindow {
public:
    SettingsWindow(SessionContext& session, std::string& sPassword, bool& bFoldersLoaded,
                   SettingsWindowHost& host);

    const SettingsWindowModel& Model() const { return model_; }
    // For captions, tips and enabled flags. Texts, values and focus go through the
    // setters so that the handlers run.
    SettingsWindowModel& Model() { return model_; }
    const std::string& Password() const { return sPassword_; }

    // A text box's change handler runs only when the text really changes. Returns false
    // for an id that is not a text box.
    bool SetText(ControlId box, std::string_view text);
    // Value 0, 1 or 2; the click handler runs only when the value changes.
    bool SetCheck(ControlId box, int value);
    // Selecting one option deselects the other and runs its click handler unless it was
    // already selected; clearing one just clears it.
    bool SetOption(ControlId option, bool value);
    // Moves the focus as the platform would: the control losing it is validated first
    // and may keep it. Fails for a hidden window or a disabled control.
    bool SetFocus(ControlId control);
    // Selects the whole text of a text box, so typing replaces it.
    void SelectAllText(ControlId box);

    // Validation when the focus leaves a box. True means the focus must stay.
    bool txtTovelaHost_Validate();
    void txtPassword_Validate() { CapturePassword(); }

    void cmdCerrar_Click();
    void mnuPopConf_Click();

    // Takes a changed password out of its box into sPassword and shows a fixed mask, so
    // the real length is not on screen and an untouched box keeps the password held.
    void CapturePassword();
    void ShowSettingsWindow();
    void HideSettingsWindow();
    // The window became active: with host and user known but no password, the password
    // is what the user is expected to type next.
    void Form_Activate();
    // Locks the window while the server is being asked (or a message is submitted), with
    // the hourglass and a caption that says so; unlocking restores the caption.
    void SetControlsEnabled(bool bEnabled);

private:
    void txtTovelaHost_Change();
    void txtUsuario_Change();
    void chkSSL_Click();
    void chkWebmailLogin_Click();
    void chkGuardaPassword_Click();
    void optBlackList_Click();
    void optWhiteList_Click();
    void ForgetPassword();

    std::string sSavedCaption_;

    TextBox* FindTextBox(ControlId id);
    CheckBox* FindCheckBox(ControlId id);
    bool IsEnabled(ControlId id);

    SettingsWindowModel model_;
    SessionContext& session_;
    std::string& sPassword_;
    bool& bFoldersLoaded_;
    SettingsWindowHost& host_;
};

}  // namespace tovela

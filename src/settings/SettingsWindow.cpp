#include "settings/SettingsWindow.h"

#include "settings/AsciiText.h"
#include "submit/Utf16.h"

namespace tovela {

namespace {

constexpr std::string_view kSpamFolder = "迷惑メール";
constexpr std::string_view kInbox = "受信箱";
// Shown instead of a captured password: fixed, so the box never reveals the real length.
constexpr std::string_view kPasswordMask = "********************";

}  // namespace

SettingsWindow::SettingsWindow(SessionContext& session, std::string& sPassword,
                               bool& bFoldersLoaded, SettingsWindowHost& host)
    : session_(session), sPassword_(sPassword), bFoldersLoaded_(bFoldersLoaded), host_(host) {}

TextBox* SettingsWindow::FindTextBox(ControlId id) {
    switch (id) {
        case ControlId::txtTovelaHost:
            return &model_.txtTovelaHost;
        case ControlId::txtUsuario:
            return &model_.txtUsuario;
        case ControlId::txtPassword:
            return &model_.txtPassword;
        case ControlId::txtFilters:
            return &model_.txtFilters;
        default:
            return nullptr;
    }
}

CheckBox* SettingsWindow::FindCheckBox(ControlId id) {
    switch (id) {
        case ControlId::chkSSL:
            return &model_.chkSSL;
        case ControlId::chkGuardaPassword:
            return &model_.chkGuardaPassword;
        case ControlId::chkWebmailLogin:
            return &model_.chkWebmailLogin;
        case ControlId::chkVentana:
            return &model_.chkVentana;
        case ControlId::chkSonido:
            return &model_.chkSonido;
        default:
            return nullptr;
    }
}

bool SettingsWindow::IsEnabled(ControlId id) {
    if (const TextBox* box = FindTextBox(id)) return box->enabled;
    if (const CheckBox* box = FindCheckBox(id)) return box->enabled;
    switch (id) {
        case ControlId::optBlackList:
            return model_.optBlackList.enabled;
        case ControlId::optWhiteList:
            return model_.optWhiteList.enabled;
        case ControlId::cmdAceptar:
            return model_.cmdAceptar.enabled;
        case ControlId::cmdCerrar:
            return model_.cmdCerrar.enabled;
        default:
            return false;
    }
}

bool SettingsWindow::SetText(ControlId id, std::string_view text) {
    TextBox* box = FindTextBox(id);
    if (box == nullptr) return false;
    if (box->text == text) return true;
    box->text = text;
    box->selStart = 0;
    box->selLength = 0;
    switch (id) {
        case ControlId::txtTovelaHost:
            txtTovelaHost_Change();
            break;
        case ControlId::txtUsuario:
            txtUsuario_Change();
            break;
        case ControlId::txtPassword:
            model_.txtPassword.changedMark = true;
            break;
        default:
            break;
    }
    host_.ModelChanged();
    return true;
}

bool SettingsWindow::SetCheck(ControlId id, int value) {
    CheckBox* box = FindCheckBox(id);
    if (box == nullptr || value < kUnchecked || value > kGrayed) return false;
    if (box->value == value) return true;
    box->value = value;
    switch (id) {
        case ControlId::chkSSL:
            chkSSL_Click();
            break;
        case ControlId::chkWebmailLogin:
            chkWebmailLogin_Click();
            break;
        case ControlId::chkGuardaPassword:
            chkGuardaPassword_Click();
            break;
        default:
            break;
    }
    host_.ModelChanged();
    return true;
}

bool SettingsWindow::SetOption(ControlId id, bool value) {
    const bool white = id == ControlId::optWhiteList;
    if (!white && id != ControlId::optBlackList) return false;
    OptionButton& option = white ? model_.optWhiteList : model_.optBlackList;
    OptionButton& other = white ? model_.optBlackList : model_.optWhiteList;
    if (!value) {
        option.value = false;
        host_.ModelChanged();
        return true;
    }
    const bool wasSelected = option.value;
    option.value = true;
    other.value = false;
    if (!wasSelected) {
        if (white) {
            optWhiteList_Click();
        } else {
            optBlackList_Click();
        }
    }
    host_.ModelChanged();
    return true;
}

bool SettingsWindow::SetFocus(ControlId id) {
    if (!model_.visible || !IsEnabled(id)) return false;
    if (model_.focused == id) return true;
    if (model_.focused == ControlId::txtTovelaHost && txtTovelaHost_Validate()) return false;
    if (model_.focused == ControlId::txtPassword) txtPassword_Validate();
    model_.focused = id;
    model_.active = id;
    SelectAllText(id);
    host_.ModelChanged();
    return true;
}

void SettingsWindow::SelectAllText(ControlId id) {
    TextBox* box = FindTextBox(id);
    if (box == nullptr) return;
    box->selStart = 0;
    box->selLength = Utf16Length(box->text);
}

void SettingsWindow::txtTovelaHost_Change() {
    session_.sSessionId.clear();
    session_.sAuthToken.clear();
    sPassword_.clear();
    SetText(ControlId::txtPassword, "");
    session_.bOptionsProbed = false;
    session_.sHost = TrimBlanks(model_.txtTovelaHost.text);
    bFoldersLoaded_ = false;
    session_.sNotifySeq.clear();
}

bool SettingsWindow::txtTovelaHost_Validate() {
    // Users paste the webmail address; the program builds scheme and path itself.
    const std::string& host = model_.txtTovelaHost.text;
    if (!ContainsIgnoringCase(host, "http:") && host.find('/') == std::string::npos) return false;
    host_.ShowMessage("サーバー名が間違っています", kStyleInformation, "");
    return true;
}

void SettingsWindow::txtUsuario_Change() {
    session_.sSessionId.clear();
    session_.sAuthToken.clear();
    session_.sNotifySeq.clear();
    bFoldersLoaded_ = false;
}

void SettingsWindow::ForgetPassword() {
    sPassword_.clear();
    SetText(ControlId::txtPassword, "");
    session_.sAuthToken.clear();
}

// A password kept for one kind of connection or login must be typed again for another.
void SettingsWindow::chkSSL_Click() {
    if (model_.chkSSL.value == kUnchecked && !sPassword_.empty()) {
        ForgetPassword();
        session_.sSessionId.clear();
    }
    session_.bOptionsProbed = false;
}

void SettingsWindow::chkWebmailLogin_Click() {
    if (model_.chkWebmailLogin.value == kChecked && !sPassword_.empty()) ForgetPassword();
}

void SettingsWindow::chkGuardaPassword_Click() {
    if (model_.chkGuardaPassword.value == kChecked && model_.chkWebmailLogin.value == kChecked &&
        !sPassword_.empty()) {
        ForgetPassword();
    }
}

void SettingsWindow::optBlackList_Click() {
    const std::string& filter = model_.txtFilters.text;
    if (filter.empty() || filter == kInbox) SetText(ControlId::txtFilters, kSpamFolder);
}

void SettingsWindow::optWhiteList_Click() {
    const std::string& filter = model_.txtFilters.text;
    if (filter.empty() || ContainsIgnoringCase(filter, kSpamFolder)) {
        SetText(ControlId::txtFilters, kInbox);
    }
}

void SettingsWindow::cmdCerrar_Click() {
    host_.AnimateWindow();
    HideSettingsWindow();
    host_.TrimWorkingSet();
}

void SettingsWindow::mnuPopConf_Click() {
    if (!model_.visible) ShowSettingsWindow();
}

void SettingsWindow::CapturePassword() {
    PasswordBox& box = model_.txtPassword;
    if (!box.changedMark) return;
    session_.sAuthToken.clear();
    session_.sSessionId.clear();
    sPassword_ = box.text;
    SetText(ControlId::txtPassword, sPassword_.empty() ? std::string_view{} : kPasswordMask);
    // Showing the mask is not an edit of the password.
    box.changedMark = false;
}

void SettingsWindow::ShowSettingsWindow() {
    model_.windowState = WindowState::Normal;
    model_.visible = true;
    SetFocus(ControlId::txtPassword);
    host_.ModelChanged();
}

void SettingsWindow::HideSettingsWindow() {
    model_.visible = false;
    model_.windowState = WindowState::Minimized;
    host_.ModelChanged();
}

void SettingsWindow::Form_Activate() {
    if (!model_.txtTovelaHost.text.empty() && !model_.txtUsuario.text.empty() &&
        model_.txtPassword.text.empty() && model_.visible) {
        SetFocus(ControlId::txtPassword);
    }
}

void SettingsWindow::SetControlsEnabled(bool bEnabled) {
    SettingsWindowModel& m = model_;
    for (TextBox* box :
         {&m.txtTovelaHost, &m.txtUsuario, static_cast<TextBox*>(&m.txtPassword), &m.txtFilters}) {
        box->enabled = bEnabled;
    }
    for (CheckBox* box :
         {&m.chkSSL, &m.chkSonido, &m.chkVentana, &m.chkGuardaPassword, &m.chkWebmailLogin}) {
        box->enabled = bEnabled;
    }
    m.cmdAceptar.enabled = bEnabled;
    m.cmdCerrar.enabled = bEnabled;
    m.lblMailPollInterval.enabled = bEnabled;
    m.fraFilters.enabled = bEnabled;
    m.busyPointer = !bEnabled;
    if (bEnabled) {
        m.caption = sSavedCaption_;
    } else {
        sSavedCaption_ = m.caption;
        m.caption = sSavedCaption_ + " - " + "サーバーへのお問い合わせ...";
    }
    host_.ModelChanged();
}

}  // namespace tovela

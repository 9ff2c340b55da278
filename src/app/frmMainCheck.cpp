// The main form's part of the check cycle: Comprobar, the poll timer's expiry and what a
// response does outside the session state.
#include "app/LocalTime.h"
#include "app/frmMain.h"
#include "session/SendSoap.h"
#include "session/SoapRequests.h"
#include "settings/SettingsIntegration.h"

namespace tovela {

bool frmMain::Comprobar(bool bPorTimer) {
    RetryInterval = 10;
    // A tick while the user has the settings open, or any call while a check waits for the
    // server, does nothing and counts as success so the timer keeps its normal pace.
    if ((bPorTimer && settings.Model().visible) || bComprobando) return true;

    bComprobando = true;
    log_.Write("Comprobando");
    settings.SetControlsEnabled(false);
    pollTimer.Stop();
    if (!bFoldersLoaded) ResetTables();

    Clock& clock = *platform_.clock;
    TimeZone& zone = *platform_.timeZone;
    session.dEpochLocal = -static_cast<std::int64_t>(GetTimeZoneBias(clock, zone)) * 60;
    std::string envelope;
    if (session.sAuthToken.empty()) {
        if (sPassword.empty() || settings.Model().txtUsuario.text.empty() ||
            session.sHost.empty()) {
            // A rejected login emptied the password: asking again with an empty one would
            // only be refused again (and may lock the account), so wait for the user.
            session.sLastError = "すべての必須フィールドに入力してください";
            FinishCheck();
            return false;
        }
        envelope = BuildLoginBatch(settings.Model().txtUsuario.text, sPassword);
    } else {
        const std::int64_t now = LocalNowSeconds(clock, zone);
        const std::string today = DateText(FromLocalSeconds(now));
        if (today != sUltimoDia) {
            sUltimoDia = today;
            bNewDay = true;
        }
        envelope = BuildSessionBatch(session, now);
    }

    const std::string response = PostEnvelope(envelope);
    const bool result = !response.empty() && TakeResponse(response);
    FinishCheck();
    return result;
}

std::string frmMain::PostEnvelope(const std::string& envelope) {
    SoapTransport transport{*platform_.http, *platform_.clock, *platform_.timeZone,
                            *platform_.system, log_};
    SoapAccount soapAccount{session, settings.Model().chkSSL.value == kChecked,
                            settings.Model().txtUsuario.text, [this] {
                                // A rejected login: the user must type the password again.
                                sPassword.clear();
                                settings.SetText(ControlId::txtPassword, "");
                                settings.Model().txtPassword.changedMark = false;
                                session.sAuthToken.clear();
                            }};
    return SendSoap(envelope, transport, soapAccount);
}

bool frmMain::TakeResponse(const std::string& response) {
    ResponseState state{session,       account,        PollInterval,
                        RetryInterval, bFoldersLoaded, dLastResponse};
    ResponseServices services{*platform_.xml, *platform_.clock, *platform_.timeZone, log_, *this};
    return ProcessResponse(response, state, services);
}

void frmMain::FinishCheck() {
    PruneAppointments();
    if (unloaded_) RemoveItemIcons();
    settings.SetControlsEnabled(true);
    TrimWorkingSet();
    bComprobando = false;
}

void frmMain::PollTimerProc() {
    const bool ok = Comprobar(true);
    pollTimer.Start(ok ? PollInterval : RetryInterval);
    if (ok) RetryOutbox();
}

void frmMain::ShowPollInterval(std::int32_t seconds) {
    settings.Model().lblMailPollInterval.caption = std::to_string(seconds);
}

void frmMain::ResetMainIcon() {
    if (CTrayIcon) CTrayIcon->IconReset(platform_.desktop->IconHandle(ProgramIcon::Main));
}

void frmMain::DeleteBriefcaseShortcut() {
    integration_->DeleteBriefcaseShortcut();
}

NotifyFilter frmMain::Filter() const {
    return {settings.Model().txtFilters.text, settings.Model().optWhiteList.value};
}

CalendarContext frmMain::CalendarNow() const {
    Clock& clock = *platform_.clock;
    TimeZone& zone = *platform_.timeZone;
    return {session,
            account.nReminderMinutes,
            bNewDay,
            LocalNowSeconds(clock, zone),
            GetTimeZoneBias(clock, zone),
            mailbox,
            Filter()};
}

void frmMain::RefreshBlock(const XmlNode& root) {
    TakeRefreshBlock(root, mailbox, Filter(), notice, bFoldersLoaded);
}

void frmMain::NotifyBlocks(const XmlNode& root) {
    TakeNotifyBlocks(root, session, mailbox, Filter(), notice, *this, alerts_);
}

void frmMain::AppointmentListing(const XmlNode& root) {
    calendar.AppointmentListing(root, CalendarNow(), notice.sSummary, notice.sReminders);
    // The coming day is listed once, by the first response of the day taken in.
    bNewDay = false;
}

void frmMain::SummaryAndAlerts() {
    const auto& m = settings.Model();
    tovela::SummaryAndAlerts(
        notice, {m.chkSonido.value == kChecked, m.chkVentana.value == kChecked}, alerts_);
}

void frmMain::ChangedAppointments(const XmlNode& block) {
    calendar.ChangedAppointments(block, CalendarNow());
}

void frmMain::DeletedAppointment(const std::string& id) {
    calendar.Release(id);
}

void frmMain::ResetTables() {
    calendar.Reset();
    mailbox.Reset();
}

void frmMain::PruneAppointments() {
    calendar.PruneAppointments(CalendarNow());
}

void frmMain::Alerts::IconAdd(const std::string& text, std::int32_t nSinLeer) {
    if (form_.CTrayIcon) {
        form_.CTrayIcon->IconAdd(text, nSinLeer,
                                 form_.platform_.desktop->IconHandle(ProgramIcon::NewMail));
    }
}

void frmMain::Alerts::IconReset() {
    form_.ResetMainIcon();
}

void frmMain::Alerts::FixTrayTooltipsZOrder() {
    form_.platform_.desktop->FixTrayTooltipsZOrder();
}

bool frmMain::Alerts::UnreadSoundExists() {
    Desktop& desktop = *form_.platform_.desktop;
    return desktop.FileExists(desktop.ProgramFolder() + "unread.wav");
}

void frmMain::Alerts::PlayUnreadSound() {
    Desktop& desktop = *form_.platform_.desktop;
    desktop.PlaySoundFile(desktop.ProgramFolder() + "unread.wav");
}

void frmMain::Alerts::Beep() {
    form_.platform_.desktop->Beep();
}

void frmMain::Alerts::ShowMessage(const std::string& text, int style, const std::string& title) {
    form_.ShowMessage(std::string_view(text), style, std::string_view(title));
}

}  // namespace tovela

// The webmail launch and the appointment actions of the main form.
#include <cstdio>

#include "app/LocalTime.h"
#include "app/frmMain.h"
#include "notify/Webmail.h"
#include "session/SoapRequests.h"
#include "settings/AsciiText.h"

namespace tovela {

namespace {
constexpr std::uint32_t kTopmostBox = 0x40000;
constexpr std::uint32_t kYesNoQuestion = 36;
constexpr int kAnswerNo = 7;

// "yyyymmddThhnnss" of a local time, as the server names an occurrence.
std::string OccurrenceText(std::int64_t localSeconds) {
    const LocalDateTime t = FromLocalSeconds(localSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}
}  // namespace

void frmMain::OpenWebmail(const std::string& sTo) {
    const SettingsWindowModel& m = settings.Model();
    if (session.sAuthToken.empty()) {
        // Without a session there is nothing to open: the user must log in first.
        platform_.form->SetForegroundWindow();
        if (!m.visible) settings.ShowSettingsWindow();
        platform_.form->SetTopmost();
        return;
    }
    const std::int64_t now = LocalNowSeconds(*platform_.clock, *platform_.timeZone);
    // A double click followed by a balloon click opens one page, not two.
    if (dUltimoWebmail != 0 && now - dUltimoWebmail < 3) return;

    const WebmailAddress address =
        BuildWebmailAddress({AddressesFromCommandLine(sTo), m.chkSSL.value == kChecked,
                             m.chkWebmailLogin.value == kChecked, session.sHost, session.sAuthToken,
                             session.sServerVersion});
    if (address.handsOverSession) {
        // The browser now holds the session; the next check logs in anew, soon.
        session.sSessionId.clear();
        session.sAuthToken.clear();
        session.sNotifySeq.clear();
        PollInterval = 3;
    }
    dUltimoWebmail = now;
    const std::uintptr_t open = FindWebmailWindow(*platform_.desktopWindows);
    if (!ContainsIgnoringCase(address.url, "compose") && open != 0) {
        platform_.desktopWindows->BringToFront(open);
    } else {
        platform_.shell->ShellOpen(address.url, "");
    }
}

int frmMain::AskMessage(const std::string& sText, std::uint32_t nStyle) {
    return platform_.desktop->MessageBox(sText, TrayIcon::TooltipText(), nStyle | kTopmostBox);
}

void frmMain::mnuCalEliminar_Click() {
    if (nCalItem < 0) return;
    // Gone while the menu was open: there is nothing left to ask about.
    if (CalendarItem() && CalApptCancelado(nCalItem))
        calendar.Release(sCalItemId);  // its icon goes with it
    nCalItem = -1;
}

bool frmMain::CalApptCancelado(std::int16_t) {
    if (AskMessage("この予約をTovelaカレンダーから削除しますか？", kYesNoQuestion) == kAnswerNo) {
        return false;
    }
    // Another cancellation still waits for the server; nothing was sent for this one, so
    // its icon must stay.
    if (bCancelando) return false;
    bCancelando = true;
    if (session.sSessionId.empty()) {
        ShowMessage("Sesión expirada", kStyleExclamation, "");
        bCancelando = false;
        return false;
    }
    const Icontify* appointment = CalendarItem();
    if (!appointment) {
        // Released while the question was open: it ended or the server dropped it.
        bCancelando = false;
        return false;
    }
    session.dEpochLocal =
        -static_cast<std::int64_t>(GetTimeZoneBias(*platform_.clock, *platform_.timeZone)) * 60;
    const std::string envelope = BuildCancelAppointmentRequest(
        session, appointment->sInvId,
        appointment->sRecur == "1" ? OccurrenceText(appointment->dStart) : std::string());
    const std::string response = PostEnvelope(envelope);
    const bool result = !response.empty() && TakeResponse(response);
    bCancelando = false;
    return result;
}

}  // namespace tovela

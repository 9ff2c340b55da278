// Mail from other programs and files from the Send To menu: kept in the outbox when they
// arrive, uploaded, then sent, saved as drafts or stored in the briefcase.
#include <algorithm>

#include "app/LocalTime.h"
#include "app/Version.h"
#include "app/frmMain.h"
#include "settings/AsciiText.h"
#include "submit/PathNames.h"
#include "submit/SendRequests.h"
#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

constexpr const char* kUploadPath = "/service/upload?fmt=raw";
// The upload never reached the server (no network, no connection, the request could not
// be sent): the server may take it later. Any other failure is the server's or the files'
// answer and stays as it is.
bool NotReached(std::int32_t number) {
    return number >= 54143 && number <= 54146;
}

}  // namespace

void frmMain::HandToMessageBridge(const std::string& sMsgSerialized) {
    log_.Write("OnMapiMensaje: " + std::to_string(sMsgSerialized.size()) + " bytes");
    const BridgedMessage message = ParseMapiMessage(sMsgSerialized);
    // Kept before the sending program gets its answer: it may delete its files right after.
    if (outbox_ && outbox_->KeepMessage(message)) {
        SubmitAfterHandOver();
    } else if (!submitting_) {
        SubmitUpload(message);
    }
}

void frmMain::HandToBriefcaseUpload(const std::string& sCommandLine) {
    log_.Write("OnUploadFile: " + sCommandLine);
    if (outbox_ && outbox_->KeepFiles(sCommandLine)) {
        SubmitAfterHandOver();
    } else if (!submitting_) {
        BridgedMessage files;
        files.sFiles = sCommandLine;
        SubmitUpload(files);
    }
}

void frmMain::SubmitAfterHandOver() {
    // The sender (a mail program's "send", a Send To start) waits for the hand-over to be
    // answered; once the item is kept it need not wait for the upload, nor for a message
    // box at its end.
    TimerService& timers = *platform_.timers;
    const bool set = timers.SetTimer(kSubmitTimerId, 0, [this, &timers] {
        timers.KillTimer(kSubmitTimerId);
        SubmitNext();
    }) != 0;
    if (!set) SubmitNext();
}

void frmMain::SubmitNext() {
    // The submission under way takes the next ones when it is done.
    if (!outbox_ || !HTTP || submitting_ || unloaded_) return;
    while (auto item = outbox_->Oldest()) {
        if (session.sAuthToken.empty()) {
            // Not logged in: the settings window comes up; what waits goes after the login.
            if (!settings.Model().visible) settings.ShowSettingsWindow();
            platform_.form->SetForegroundWindow();
            platform_.form->SetTopmost();
            TellWaiting();
            return;
        }
        submitting_ = true;
        submitted_ = Submitted::Accepted;
        SubmitUpload(item->message);
        submitting_ = false;
        if (unloaded_) return;
        if (submitted_ == Submitted::NotReached) {
            // Tried again after a later check that reaches the server, less often each time.
            outbox_->Attempted(*item);
            const std::int64_t waitMinutes = std::min(item->attempts, 60);
            outboxRetryAt_ =
                LocalNowSeconds(*platform_.clock, *platform_.timeZone) + waitMinutes * 60;
            TellWaiting();
            return;
        }
        // Accepted, or refused for good (the user was told why): it waits no more.
        outbox_->Remove(*item);
    }
    if (toldWaiting_) TellSent();
}

void frmMain::RetryOutbox() {
    if (!outbox_ || session.sAuthToken.empty()) return;
    if (LocalNowSeconds(*platform_.clock, *platform_.timeZone) < outboxRetryAt_) return;
    if (outbox_->Count() > 0) SubmitNext();
}

void frmMain::TellWaiting() {
    if (toldWaiting_ || !CTrayIcon) return;
    toldWaiting_ = true;
    CTrayIcon->IconAdd(std::string(kAppTitle) + "\r\n送信待ちのメッセージがあります", 0,
                       platform_.desktop->IconHandle(ProgramIcon::Main));
    platform_.desktop->FixTrayTooltipsZOrder();
}

void frmMain::TellSent() {
    toldWaiting_ = false;
    if (!CTrayIcon) return;
    CTrayIcon->IconAdd(std::string(kAppTitle) + "\r\n送信待ちのメッセージを送信しました", 0,
                       platform_.desktop->IconHandle(ProgramIcon::Main));
    platform_.desktop->FixTrayTooltipsZOrder();
}

void frmMain::SubmitUpload(const BridgedMessage& item) {
    if (session.sAuthToken.empty()) {
        // Nothing can go without a session.
        if (!settings.Model().visible) settings.ShowSettingsWindow();
        platform_.form->SetForegroundWindow();
        platform_.form->SetTopmost();
        submitted_ = Submitted::NotReached;
        return;
    }
    CHTTP& http = *HTTP;
    http.sToken = session.sAuthToken;
    http.bToBriefcase =
        platform_.userEnvironment->IsKeyDown(kVkControl) && account.bBriefcaseEnabled;
    std::string files = item.sFiles;
    if (AsciiLower(LeftUtf16(files, 10)) == "/briefcase") {
        http.bToBriefcase = true;
        files = std::string(TrimBlanks(std::string_view(files).substr(10)));
    }
    http.sFiles = files;
    http.sFileNames = item.sFileNames;
    http.sServer = session.sHost;
    http.sFromAddr = item.sFromAddr;
    http.sFromName = item.sFromName;
    http.sRecipients = item.sRecipients;
    http.sReplyToAddr.clear();
    http.sReplyToName.clear();
    http.sSubject = item.sSubject;
    http.sBody = item.sBody;
    http.sMapiFlags = item.sMapiFlags;
    http.bSecure = settings.Model().chkSSL.value == kChecked;
    http.Upload(kUploadPath);

    if (AsksForDialog(http.sMapiFlags) && CTrayIcon) {
        const std::string title = http.sSubject.empty() ? std::string(kAppTitle) : http.sSubject;
        CTrayIcon->IconAdd(
            title + "\r\n" + (http.bToBriefcase ? "Sent to Briefcase" : "の下書きフォルダ"), 0,
            platform_.desktop->IconHandle(ProgramIcon::NewMail));
        platform_.desktop->FixTrayTooltipsZOrder();
    }
}

void frmMain::CodErrorSubida(std::int32_t Number, const std::string& Description) {
    RestoreTipAfterUpload();
    if (NotReached(Number)) {
        submitted_ = Submitted::NotReached;
        // Tried again by itself: the user hears of it once.
        if (toldWaiting_) return;
    } else {
        submitted_ = Submitted::Refused;
    }
    ShowMessage("HTTP Upload error #" + std::to_string(Number) + "\r\n" + Description,
                kStyleInformation, "");
}

void frmMain::ErrorDeSubida(const std::string& sChunk) {
    RestoreTipAfterUpload();
    submitted_ = Submitted::Refused;
    ShowMessage("HTTP Upload error:\r\n" + sChunk, kStyleInformation, "");
}

void frmMain::UploadProgress(int nPercent) {
    if (!CTrayIcon) return;
    if (!tipBeforeUpload_) tipBeforeUpload_ = CTrayIcon->Data().szTip;
    CTrayIcon->SetTip(UploadProgressTip(nPercent));
}

void frmMain::RestoreTipAfterUpload() {
    if (!tipBeforeUpload_) return;
    if (CTrayIcon) CTrayIcon->SetTip(*tipBeforeUpload_);
    tipBeforeUpload_.reset();
}

void frmMain::Completed() {
    RestoreTipAfterUpload();
    HTTP_Completed();
}

void frmMain::HTTP_Completed() {
    if (bEnviando) return;
    bEnviando = true;
    settings.SetControlsEnabled(false);
    pollTimer.Stop();

    CHTTP& http = *HTTP;
    Submission s{http.sFromAddr,   http.sFromName,   http.sReplyToAddr, http.sReplyToName,
                 http.sRecipients, http.sSubject,    http.sBody,        http.sMapiFlags,
                 http.sAttachIds,  http.bToBriefcase};
    HtmlEngine& engine = *platform_.html;
    const HtmlServices html{[&engine](std::string_view t) { return engine.BodyInnerHtml(t); },
                            [&engine](std::string_view t) { return engine.BodyText(t); }};
    const std::string envelope = BuildSubmissionRequest(s, session, account, html);
    http.sRecipients = s.sRecipients;
    http.sFromAddr = s.sFromAddr;
    http.sFromName = s.sFromName;
    http.sReplyToAddr = s.sReplyToAddr;
    http.sReplyToName = s.sReplyToName;
    http.sBody = s.sBody;

    const std::string answer = PostEnvelope(envelope);
    if (answer.empty()) {
        // The post itself failed: nothing is shown here, the item waits for a later try.
        submitted_ = Submitted::NotReached;
    } else {
        const bool taken = TakeResponse(answer);
        const bool fault = answer.find("<soap:Fault") != std::string::npos;
        // A fault the session recovers from (an expired login) leaves it for after the login.
        submitted_ = !fault  ? Submitted::Accepted
                     : taken ? Submitted::NotReached
                             : Submitted::Refused;
        if (!account.sDraftId.empty()) {
            // The user finds the draft in webmail's Drafts folder.
            OpenWebmail("");
            account.sDraftId.clear();
        } else if (!session.sLastError.empty()) {
            session.sLastError =
                "Tovela Server Version: " + session.sServerVersion + "\r\n" + session.sLastError;
            ShowMessage(session.sLastError, kStyleExclamation, "");
        }
    }
    settings.SetControlsEnabled(true);
    bEnviando = false;
    pollTimer.Start(PollInterval);
}

}  // namespace tovela

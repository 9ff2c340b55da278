#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/DebugLog.h"
#include "app/PollTimer.h"
#include "notify/CNotify.h"
#include "notify/Icontify.h"
#include "notify/TrayIcon.h"
#include "notify/TrayIconEvents.h"
#include "notify/TrayMenus.h"
#include "platform/Platform.h"
#include "session/AccountPreferences.h"
#include "session/Calendar.h"
#include "session/MailNotices.h"
#include "session/MailboxModel.h"
#include "session/ProcessResponse.h"
#include "session/SessionContext.h"
#include "settings/SettingsWindow.h"
#include "settings/SettingsWindowHost.h"
#include "submit/CHTTP.h"
#include "submit/MessageBridge.h"
#include "submit/Outbox.h"

namespace tovela {

class SettingsIntegration;

// The main form: the settings window, the owner of the session state and the receiver of
// every event of the tray icon. Start-up and shutdown run here; each subsystem's work
// lives in that subsystem's files.
class frmMain final : public TrayIconEvents,
                      public CNotifyEvents,
                      public FormWindowEvents,
                      public CHTTPEvents,
                      public SettingsWindowHost,
                      public ResponseEffects,
                      public CalendarHooks {
public:
    // `log` replaces the trace sink the form would otherwise make (tests pass their own).
    explicit frmMain(Platform& platform, DebugLog* log = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The start-up sequence. False when this process is a second start that handed its
    // command line over and must end now.
    bool Form_Load(const std::string& commandLine);
    // The shutdown sequence; runs once however often it is asked for.
    void Form_Unload();
    // Tray menu "終了".
    void mnuPopSalir_Click();

    // TrayIconEvents
    void OnMouseUp(MouseButton button) override;
    void OnMouseDown(MouseButton button) override;
    void OnDblClick(MouseButton button) override;
    void OnBalloonShow() override;
    void OnBalloonHide() override;
    void OnBalloonClick() override;
    void OnAbreTovela(const std::string& sCommandLine) override;
    void OnUploadFile(const std::string& sCommandLine) override;
    void OnMapiMensaje(const std::string& sMsgSerialized) override;
    void OnSettingsShowRequest() override;

    // CNotifyEvents: the appointment icons
    void OnMouseUp(MouseButton button, Icontify& Source) override;
    void OnBalloonClick(Icontify& Source) override;
    void OnBalloonShow(Icontify& Source) override;
    void OnAbreTovela(Icontify& Source, const std::string& sCommandLine) override;
    void OnUploadFile(Icontify& Source, const std::string& sCommandLine) override;
    void OnMapiMensaje(Icontify& Source, const std::string& sMsgSerialized) override;
    void OnSettingsShowRequest(Icontify& Source) override;

    // CalendarHooks
    void ChangedAppointments(const XmlNode& block) override;
    void DeletedAppointment(const std::string& id) override;

    // ResponseEffects
    void ResetMainIcon() override;
    void ShowPollInterval(std::int32_t seconds) override;
    void DeleteBriefcaseShortcut() override;
    void RefreshBlock(const XmlNode& root) override;
    void NotifyBlocks(const XmlNode& root) override;
    void AppointmentListing(const XmlNode& root) override;
    void SummaryAndAlerts() override;

    // One exchange with the server: log in or continue the session, take in the answer.
    // True when the answer was taken in, or when the call was skipped (a timer tick while
    // the settings window is open, or a check already running).
    bool Comprobar(bool bPorTimer = false);
    // The poll timer's expiry: check, then run again with the interval the result asks for.
    void PollTimerProc();

    // SettingsWindowHost
    void ShowMessage(std::string_view text, int style, std::string_view title) override;
    void AnimateWindow() override;
    void TrimWorkingSet() override;
    void ModelChanged() override { RenderSettings(); }

    // FormWindowEvents: what the user does to the settings window.
    void OnTextChanged(ControlId box, const std::string& text) override;
    void OnCheckClicked(ControlId box, int value) override;
    void OnOptionClicked(ControlId option) override;
    void OnButtonClicked(ControlId button) override;
    bool OnFocusChanged(ControlId control) override;
    void OnActivated() override;

    // "OK": validate, check against the server, offer once to become the mail program,
    // hide, save and poll.
    void cmdAceptar_Click();
    // What a pick in the tray menu or the calendar menu does.
    void MenuCommandPicked(MenuCommand command);
    // Calendar menu: delete the appointment from the server's calendar; stop or resume its
    // reminder.
    void mnuCalEliminar_Click();
    void mnuCalNotificar_Click();
    // Asks, then takes the appointment of the calendar menu out of the server's calendar.
    // True when it may leave the tray.
    bool CalApptCancelado(std::int16_t iCalItem);
    // A question box titled like every other message; the button pressed (6 yes, 7 no).
    int AskMessage(const std::string& sText, std::uint32_t nStyle);
    // Opens webmail in the browser, logged in when the settings ask for it; with addresses,
    // its compose view. A webmail page already open is brought forward instead.
    void OpenWebmail(const std::string& sTo);

    // CHTTPEvents: how an upload ended.
    void CodErrorSubida(std::int32_t Number, const std::string& Description) override;
    void Completed() override;
    void ErrorDeSubida(const std::string& sChunk) override;
    void UploadProgress(int nPercent) override;
    // The upload went through: the message is sent or saved as a draft, or the files are
    // stored in the briefcase.
    void HTTP_Completed();

    // The product's web page, opened by the tray menu's about entry.
    static constexpr const char* kProductPage = "https://notifier.tovela.example/";
    // Where the system remembers the answer of "don't ask again" to the mail-program question.
    // The one-shot timer that starts a submission after the hand-over that brought it.
    static constexpr std::uint32_t kSubmitTimerId = 1725;
    static constexpr const char* kDefaultMailClientQuestion =
        "{9489E348-4ABF-4402-A82E-5D3B3B012BCC}-DefaultMailClient";

    // State the subsystems read and write.
    SessionContext session;
    std::string sPassword;
    bool bFoldersLoaded = false;
    AccountPreferences account;
    std::optional<std::int64_t> dLastResponse;
    bool bComprobando = false;
    std::string sUltimoDia;
    bool bNewDay = false;
    std::int32_t PollInterval = 0;
    std::int32_t RetryInterval = 10;
    TrayMenus menus;
    SettingsWindow settings;
    std::unique_ptr<TrayIcon> CTrayIcon;
    std::unique_ptr<CHTTP> HTTP;
    bool bEnviando = false;
    PollTimer pollTimer;
    MailboxModel mailbox;
    NoticeText notice;
    CNotify objNotify;
    Calendar calendar;
    std::int16_t nCalItem = -1;
    // The appointment the calendar menu was opened for: the record is found again by it.
    std::string sCalItemId;
    bool bCancelando = false;
    // Local seconds of the last webmail launch; 0 before the first.
    std::int64_t dUltimoWebmail = 0;

private:
    // What the new-mail notice does to the tray, the speaker and the screen.
    class Alerts final : public MailAlerts {
    public:
        explicit Alerts(frmMain& form) : form_(form) {}
        void IconAdd(const std::string& text, std::int32_t nSinLeer) override;
        void IconReset() override;
        void FixTrayTooltipsZOrder() override;
        bool UnreadSoundExists() override;
        void PlayUnreadSound() override;
        void Beep() override;
        void ShowMessage(const std::string& text, int style, const std::string& title) override;

    private:
        frmMain& form_;
    };

    NotifyFilter Filter() const;
    CalendarContext CalendarNow() const;
    void OpenTrayMenu();
    void OpenCalendarMenu(Icontify& Source);
    // The check the tray starts (left click, "新着メールを確認"): the result decides the timer,
    // a failure brings the window up with the reason.
    void CheckFromTray(bool sayWhatIsMissing);
    bool CredentialsComplete() const;
    // The appointment of the calendar menu, when its slot still holds one.
    Icontify* CalendarItem();
    void RenderSettings();
    void HandToMessageBridge(const std::string& sMsgSerialized);
    void HandToBriefcaseUpload(const std::string& sCommandLine);
    // Submits what waits in the outbox, oldest first, while a session is there; stops at
    // the first that must wait (no session, the server out of reach).
    void SubmitNext();
    // SubmitNext once the hand-over that kept an item has been answered.
    void SubmitAfterHandOver();
    // Fills the upload object from a kept item and runs the upload (and the request after it).
    void SubmitUpload(const BridgedMessage& item);
    // What the user is told about waiting messages: that some wait, and when they went out.
    void TellWaiting();
    void TellSent();
    void RestoreTipAfterUpload();
    // After a check that reached the server: what waits in the outbox is tried again, not
    // sooner than its last failure allows.
    void RetryOutbox();
    void BringToFront();

    // One SOAP exchange of the session, and its answer taken in.
    std::string PostEnvelope(const std::string& envelope);
    bool TakeResponse(const std::string& response);

    void RemoveItemIcons();
    // The end of every check that ran: reminders, the window unlocked, memory trimmed.
    void FinishCheck();
    void ResetTables();
    void PruneAppointments();

    Platform& platform_;
    std::unique_ptr<DebugLog> ownLog_;
    DebugLog& log_;
    std::unique_ptr<SettingsIntegration> integration_;
    bool loaded_ = false;
    // The window follows its model once start-up has decided whether it stays on screen.
    bool renderable_ = false;
    // Set for good by the shutdown sequence: a check that was waiting for the server when
    // the program was asked to end must not bring icons or the timer back.
    bool unloaded_ = false;
    Alerts alerts_{*this};

    // What the upload and the request after it came to, for the item being submitted.
    enum class Submitted { Accepted, Refused, NotReached };
    std::unique_ptr<Outbox> outbox_;
    bool submitting_ = false;
    Submitted submitted_ = Submitted::Accepted;
    // Something waited: the user hears when it went out.
    bool toldWaiting_ = false;
    // Local seconds before which a failed submission is not tried again.
    std::int64_t outboxRetryAt_ = 0;
    // The main icon's tip while an upload shows its progress there.
    std::optional<std::string> tipBeforeUpload_;
};

}  // namespace tovela

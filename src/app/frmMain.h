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

namespace tovela {

class SettingsIntegration;

// The main form: the settings window, the owner of the session state and the receiver of
// every event of the tray icon. Start-up and shutdown run here; each subsystem's work
// lives in that subsystem's files.
class frmMain final : public TrayIconEvents,
                      public CNotifyEvents,
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
    PollTimer pollTimer;
    MailboxModel mailbox;
    NoticeText notice;
    CNotify objNotify;
    Calendar calendar;
    std::int16_t nCalItem = -1;

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
    // Seams the menus, webmail, message bridge and briefcase work fills.
    void OpenWebmail(const std::string& sTo);
    void OpenTrayMenu();
    void OpenCalendarMenu(Icontify& Source);
    void HandToMessageBridge(const std::string& sMsgSerialized);
    void HandToBriefcaseUpload(const std::string& sCommandLine);
    void BringToFront();

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
    // Set for good by the shutdown sequence: a check that was waiting for the server when
    // the program was asked to end must not bring icons or the timer back.
    bool unloaded_ = false;
    Alerts alerts_{*this};
};

}  // namespace tovela

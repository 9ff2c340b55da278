#include "app/frmMain.h"

#include <filesystem>

#include "app/CommandLine.h"
#include "app/FileDebugLog.h"
#include "app/LocalTime.h"
#include "app/Version.h"
#include "integration/WindowsIntegration.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"
#include "submit/PathNames.h"

namespace tovela {
namespace {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::unique_ptr<DebugLog> MakeTraceSink(Platform& platform, const std::string& password) {
    const std::string folder = platform.system->UserDataFolder();
    if (folder.empty()) return std::make_unique<NullDebugLog>();
    return std::make_unique<FileDebugLog>(PathFromUtf8(folder) / FileDebugLog::kFileName,
                                          [&password] { return password; });
}

std::string VersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

}  // namespace

frmMain::frmMain(Platform& platform, DebugLog* log)
    : settings(session, sPassword, bFoldersLoaded, *this),
      pollTimer(*platform.timers, [this] { PollTimerProc(); }),
      objNotify(*this),
      calendar(
          [&platform] {
              return std::make_unique<Icontify>(
                  TrayServices{*platform.windows, *platform.notifyIcons});
          },
          &objNotify, *platform.locale, platform.desktop->IconHandle(ProgramIcon::Calendar)),
      platform_(platform),
      ownLog_(log ? nullptr : MakeTraceSink(platform, sPassword)),
      log_(log ? *log : *ownLog_),
      integration_(std::make_unique<WindowsIntegration>(
          IntegrationPorts{*platform.registry, *platform.shellEnvironment, *platform.shellLinks,
                           *platform.system, platform.desktop->ProgramFolder()},
          menus, log_,
          IntegrationHooks{[this](const std::string& text, int style, const std::string& title) {
                               ShowMessage(text, style, title);
                           },
                           [this](const std::string& text) { alerts_.IconAdd(text, 0); },
                           [this]() -> std::optional<bool> {
                               if (session.sAuthToken.empty()) return std::nullopt;
                               return account.bBriefcaseEnabled;
                           }})) {
    settings.Model().caption = kAppTitle;
    platform_.loop->SetShutdownHandler([this] { mnuPopSalir_Click(); });
    platform_.form->SetEvents(this);
}

frmMain::~frmMain() {
    platform_.form->SetEvents(nullptr);
}

bool frmMain::Form_Load(const std::string& commandLine) {
    log_.Write("///// Start: " + DateTimeText(LocalNow(*platform_.clock, *platform_.timeZone)) +
               " - " + kAppTitle + " version " + VersionText() + " \\\\\\\\\\");
    platform_.windows->HideFromTaskList();

    if (platform_.instance->PrevInstance()) {
        log_.Write("AppPrev");
        ForwardedRequest request = BuildForwardedRequest(commandLine, log_);
        // Whether or not a running instance's window answers, this process ends here.
        platform_.instance->SendCopyData(static_cast<std::uint32_t>(request.kind), request.payload);
        return false;
    }

    TranslateControls(settings.Model(), menus, log_);
    RestoreSettings(settings, menus, *platform_.settings, log_);
    SaveTNSettings(0, settings, menus, *platform_.settings, log_, *integration_);

    CTrayIcon = std::make_unique<TrayIcon>(*platform_.windows, *platform_.notifyIcons, *this);
    HTTP = std::make_unique<CHTTP>(
        CHTTPServices{*platform_.files, *platform_.uploadHttp, *platform_.userEnvironment,
                      *platform_.background, *platform_.loop, *platform_.clock, *platform_.timeZone,
                      account},
        *this);
    if (const std::string folder = platform_.system->UserDataFolder(); !folder.empty()) {
        outbox_ = std::make_unique<Outbox>(*platform_.files, JoinPath(folder, "Outbox"));
    }
    platform_.desktop->FixTrayTooltipsZOrder();
    // objNotify is made with the form.
    calendar.Reset();
    mailbox.Reset();
    ApplyDialogFont(settings.Model());
    CTrayIcon->Iconizar(platform_.desktop->IconHandle(ProgramIcon::Main));
    loaded_ = true;

    const auto& model = settings.Model();
    if (!model.txtUsuario.text.empty() && !model.txtTovelaHost.text.empty() && !sPassword.empty()) {
        bool ok = Comprobar(false);
        pollTimer.Start(ok ? PollInterval : RetryInterval);
        // A rejected login empties the password: the window then stays for a correction.
        if (!sPassword.empty()) settings.HideSettingsWindow();
    }
    // Without working settings the window is what the user sees first.
    renderable_ = true;
    RenderSettings();
    // What waited from an earlier run goes now, or after the login.
    if (!session.sAuthToken.empty()) SubmitNext();
    return true;
}

void frmMain::Form_Unload() {
    if (!loaded_) return;
    loaded_ = false;
    unloaded_ = true;
    renderable_ = false;
    pollTimer.Retire();
    platform_.timers->KillTimer(kSubmitTimerId);
    SaveTNSettings(2, settings, menus, *platform_.settings, log_, *integration_);
    CTrayIcon->Delete();
    CTrayIcon.reset();
    // The upload object stays until the form goes: the end of the session may come while an
    // upload it runs waits in a nested loop.
    RemoveItemIcons();
    log_.Write("\\\\\\\\\\ End: " + DateTimeText(LocalNow(*platform_.clock, *platform_.timeZone)) +
               " /////");
}

void frmMain::mnuPopSalir_Click() {
    Form_Unload();
    platform_.loop->Quit();
}

void frmMain::RemoveItemIcons() {
    // Each appointment icon removes itself from the notification area as it goes.
    calendar.Reset();
}

void frmMain::TrimWorkingSet() {
    if (platform_.system->GetVersion().platformId == 2) platform_.system->EmptyWorkingSet();
}

void frmMain::ShowMessage(std::string_view text, int style, std::string_view title) {
    constexpr std::uint32_t kTopmost = 0x40000;
    // The settings entry stays off while a box is up, so the window cannot open under it.
    menus.mnuPopConf.enabled = false;
    const std::string caption = title.empty() ? TrayIcon::TooltipText() : std::string(title);
    platform_.desktop->MessageBox(std::string(text), caption,
                                  static_cast<std::uint32_t>(style) | kTopmost);
    menus.mnuPopConf.enabled = true;
}

}  // namespace tovela

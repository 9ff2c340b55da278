// What the main form does for each event of its tray icon and of the appointment icons.
#include "app/frmMain.h"

namespace tovela {

// Main icon.

void frmMain::OnMouseUp(MouseButton button) {
    switch (button) {
        case MouseButton::Left:
            if (settings.Model().visible) {
                settings.ShowSettingsWindow();  // brings the open window to the front
                return;
            }
            CheckFromTray(false);
            return;
        case MouseButton::Right:
            OpenTrayMenu();
            return;
        case MouseButton::Middle:
            OpenWebmail("");
            return;
    }
}

void frmMain::OnMouseDown(MouseButton) {}

void frmMain::OnDblClick(MouseButton button) {
    if (button == MouseButton::Left) OpenWebmail("");
}

void frmMain::OnBalloonShow() {}
void frmMain::OnBalloonHide() {}
void frmMain::OnBalloonClick() {
    OpenWebmail("");
}
void frmMain::OnAbreTovela(const std::string& sCommandLine) {
    log_.Write("OnAbreTovela: " + sCommandLine);
    OpenWebmail(sCommandLine);
}
void frmMain::OnUploadFile(const std::string& sCommandLine) {
    HandToBriefcaseUpload(sCommandLine);
}
void frmMain::OnMapiMensaje(const std::string& sMsgSerialized) {
    HandToMessageBridge(sMsgSerialized);
}

void frmMain::OnSettingsShowRequest() {
    log_.Write("OnSettingsShowRequest");
    settings.ShowSettingsWindow();
    BringToFront();
}

// Appointment icons, through the relay.

void frmMain::OnMouseUp(MouseButton, Icontify& Source) {
    OpenCalendarMenu(Source);
}
void frmMain::OnBalloonClick(Icontify& Source) {
    OpenCalendarMenu(Source);
}

void frmMain::OnBalloonShow(Icontify& Source) {
    nCalItem = static_cast<std::int16_t>(Source.Tag);
    // Shown once; a later check shows it again while the reminder stays on.
    if (nCalItem >= 0 && static_cast<std::size_t>(nCalItem) < calendar.aCalIcons.size() &&
        calendar.aCalIcons[static_cast<std::size_t>(nCalItem)]) {
        calendar.aCalIcons[static_cast<std::size_t>(nCalItem)]->bReminderShown = false;
    }
}

void frmMain::OnAbreTovela(Icontify&, const std::string& sCommandLine) {
    OnAbreTovela(sCommandLine);
}
void frmMain::OnUploadFile(Icontify&, const std::string& sCommandLine) {
    HandToBriefcaseUpload(sCommandLine);
}
void frmMain::OnMapiMensaje(Icontify&, const std::string& sMsgSerialized) {
    HandToMessageBridge(sMsgSerialized);
}
void frmMain::OnSettingsShowRequest(Icontify&) {
    OnSettingsShowRequest();
}

void frmMain::BringToFront() {
    platform_.desktopWindows->BringToFront(platform_.form->Handle());
}

}  // namespace tovela

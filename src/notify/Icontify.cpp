#include "notify/Icontify.h"

#include "notify/TrayIcon.h"

namespace tovela {

Icontify::Icontify(TrayServices services) : services_(services) {}

Icontify::~Icontify() {
    BorraIcono();
}

void Icontify::Iconizar(const std::string& sDescripcion) {
    if (CTrayIcon) {
        CTrayIcon->IconizarCal(hIcon, sDescripcion, false);
        return;
    }
    TrayIconEvents& events = *this;  // the base is private: only this class may hand it out
    CTrayIcon = std::make_unique<TrayIcon>(services_.windows, services_.shell, events);
    CTrayIcon->IconizarCal(hIcon, sDescripcion, true);
}

void Icontify::BorraIcono() {
    if (!CTrayIcon) return;
    CTrayIcon->Delete();
    CTrayIcon.reset();  // takes the hidden window with it
}

// Each event leaves for the relay with this icon as its source, and nothing touches this
// object afterwards: the owner may drop the appointment while handling it.
void Icontify::OnMouseUp(MouseButton button) {
    if (Notify) Notify->CallOnMouseUp(button, *this);
}

void Icontify::OnBalloonShow() {
    if (Notify) Notify->CallOnBalloonShow(*this);
}

void Icontify::OnBalloonClick() {
    if (Notify) Notify->CallOnBalloonClick(*this);
}

void Icontify::OnAbreTovela(const std::string& sCommandLine) {
    if (Notify) Notify->CallOnAbreTovela(*this, sCommandLine);
}

void Icontify::OnUploadFile(const std::string& sCommandLine) {
    if (Notify) Notify->CallOnUploadFile(*this, sCommandLine);
}

void Icontify::OnMapiMensaje(const std::string& sMsgSerialized) {
    if (Notify) Notify->CallOnMapiMensage(*this, sMsgSerialized);
}

void Icontify::OnSettingsShowRequest() {
    if (Notify) Notify->CallOnSettingsShowRequest(*this);
}

}  // namespace tovela

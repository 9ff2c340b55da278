#pragma once

#include <memory>
#include <string>

#include "notify/CNotify.h"
#include "notify/TrayIconEvents.h"
#include "platform/MailboxWindow.h"
#include "platform/NotifyIcon.h"
#include "session/Appointment.h"

namespace tovela {

class TrayIcon;

// What an icon needs from the platform to show itself.
struct TrayServices {
    WindowSystem& windows;
    NotifyIconService& shell;
};

// One appointment's tray icon together with the appointment it reminds of. Its own tray
// icon (and hidden window) exists only while the icon is shown.
class Icontify final : public Appointment, private TrayIconEvents {
public:
    explicit Icontify(TrayServices services);
    ~Icontify() override;
    Icontify(const Icontify&) = delete;
    Icontify& operator=(const Icontify&) = delete;

    // Shows the icon, or updates it when shown: the balloon title, CR LF, the balloon text.
    void Iconizar(const std::string& sDescripcion);
    void BorraIcono();
    void DeIconizar() { BorraIcono(); }
    bool IconShown() const { return CTrayIcon != nullptr; }

    void SetNotify(CNotify* relay) { Notify = relay; }
    int Tag = 0;  // the record's index in the appointment table

    std::unique_ptr<TrayIcon> CTrayIcon;

private:
    void OnMouseUp(MouseButton button) override;
    void OnMouseDown(MouseButton) override {}
    void OnDblClick(MouseButton) override {}
    void OnBalloonShow() override;
    void OnBalloonHide() override {}
    void OnBalloonClick() override;
    void OnAbreTovela(const std::string& sCommandLine) override;
    void OnUploadFile(const std::string& sCommandLine) override;
    void OnMapiMensaje(const std::string& sMsgSerialized) override;
    void OnSettingsShowRequest() override;

    TrayServices services_;
    CNotify* Notify = nullptr;
};

}  // namespace tovela

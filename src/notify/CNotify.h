#pragma once

#include <string>

#include "notify/TrayIconEvents.h"

namespace tovela {

class Icontify;

// What the appointment icons report, with the icon that reported it.
class CNotifyEvents {
public:
    virtual ~CNotifyEvents() = default;
    virtual void OnMouseUp(MouseButton button, Icontify& Source) = 0;
    virtual void OnBalloonClick(Icontify& Source) = 0;
    virtual void OnBalloonShow(Icontify& Source) = 0;
    virtual void OnAbreTovela(Icontify& Source, const std::string& sCommandLine) = 0;
    virtual void OnUploadFile(Icontify& Source, const std::string& sCommandLine) = 0;
    virtual void OnMapiMensaje(Icontify& Source, const std::string& sMsgSerialized) = 0;
    virtual void OnSettingsShowRequest(Icontify& Source) = 0;
};

// The one relay every appointment icon reports to; it passes each call on unchanged.
class CNotify {
public:
    explicit CNotify(CNotifyEvents& events) : events_(events) {}
    void CallOnMouseUp(MouseButton button, Icontify& Source) { events_.OnMouseUp(button, Source); }
    void CallOnBalloonClick(Icontify& Source) { events_.OnBalloonClick(Source); }
    void CallOnBalloonShow(Icontify& Source) { events_.OnBalloonShow(Source); }
    void CallOnAbreTovela(Icontify& Source, const std::string& s) {
        events_.OnAbreTovela(Source, s);
    }
    void CallOnUploadFile(Icontify& Source, const std::string& s) {
        events_.OnUploadFile(Source, s);
    }
    void CallOnMapiMensage(Icontify& Source, const std::string& s) {
        events_.OnMapiMensaje(Source, s);
    }
    void CallOnSettingsShowRequest(Icontify& Source) { events_.OnSettingsShowRequest(Source); }

private:
    CNotifyEvents& events_;
};

}  // namespace tovela

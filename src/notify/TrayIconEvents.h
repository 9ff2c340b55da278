#pragma once

#include <string>

namespace tovela {

// Mouse buttons as the tray icon reports them.
enum class MouseButton : short { Left = 1, Right = 2, Middle = 4 };

// Events a TrayIcon raises to its owner, in the order the owner's handlers are declared.
class TrayIconEvents {
public:
    virtual ~TrayIconEvents() = default;
    virtual void OnMouseUp(MouseButton button) = 0;
    virtual void OnMouseDown(MouseButton button) = 0;
    virtual void OnDblClick(MouseButton button) = 0;
    virtual void OnBalloonShow() = 0;
    virtual void OnBalloonHide() = 0;
    virtual void OnBalloonClick() = 0;
    virtual void OnAbreTovela(const std::string& sCommandLine) = 0;
    virtual void OnUploadFile(const std::string& sCommandLine) = 0;
    virtual void OnMapiMensaje(const std::string& sMsgSerialized) = 0;
    virtual void OnSettingsShowRequest() = 0;
};

}  // namespace tovela

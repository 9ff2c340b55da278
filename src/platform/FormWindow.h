#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/SettingsWindowModel.h"

namespace tovela {

// What the user does to the settings window's controls, already turned into calls.
class FormWindowEvents {
public:
    virtual ~FormWindowEvents() = default;
    // The text of a box was edited (typed, pasted, deleted).
    virtual void OnTextChanged(ControlId box, const std::string& text) = 0;
    // A check box was clicked and now holds `value` (0 or 1).
    virtual void OnCheckClicked(ControlId box, int value) = 0;
    virtual void OnOptionClicked(ControlId option) = 0;
    // cmdAceptar (also Enter, the default button) or cmdCerrar (also Escape and the
    // caption's close box: the window is hidden, never closed).
    virtual void OnButtonClicked(ControlId button) = 0;
    // The focus moved to `control` by a click, Tab or a mnemonic. False when the control
    // that had it refused to let it go (its validation failed): the focus goes back there.
    virtual bool OnFocusChanged(ControlId control) = 0;
    // The window became the active window.
    virtual void OnActivated() = 0;
};

// One entry of a pop-up menu as it is shown.
struct MenuItem {
    int command = 0;     // what the pick returns; 0 for separators and submenus
    std::string name{};  // the program's name of the item, for scripts and traces
    std::string caption{};
    bool enabled = true;
    bool checked = false;
    bool isDefault = false;
    bool separator = false;
    std::vector<MenuItem> submenu{};
};

// The main form as a window: the settings window's controls, the pop-up menus it owns and
// the desktop calls made on its behalf.
class FormWindow {
public:
    virtual ~FormWindow() = default;
    virtual void SetEvents(FormWindowEvents* events) = 0;
    // Brings the window in line with the model: shown or hidden, caption, captions, tips,
    // texts, values, enabled states, the focused control, the hourglass and the font.
    // Cheap when nothing changed; never reports the change back as an event.
    virtual void Render(const SettingsWindowModel& model) = 0;
    // TrackPopupMenu at the mouse position, owned by the form; the menu closes when the
    // user clicks elsewhere. The picked item's command, or 0.
    virtual int TrackPopupMenu(const std::vector<MenuItem>& items) = 0;
    virtual void SetForegroundWindow() = 0;
    // SetWindowPos HWND_TOPMOST without moving or sizing, showing the window.
    virtual void SetTopmost() = 0;
    // DrawAnimatedRects (caption style) from the window to the notification area; false
    // when there is no notification area to animate to.
    virtual bool DrawAnimatedRectsToTray() = 0;
    // HKCU\Control Panel\Desktop\WindowMetrics "MinAnimate", nothing when it is absent.
    virtual std::optional<std::string> MinAnimateSetting() = 0;
    // SHMessageBoxCheck owned by the form: the button pressed, or `defaultAnswer` without
    // showing anything when the user ticked "don't ask again" under `valueName` before.
    virtual int MessageBoxCheck(const std::string& text, const std::string& caption,
                                std::uint32_t style, int defaultAnswer,
                                const std::string& valueName) = 0;
    virtual std::uintptr_t Handle() const = 0;
};

}  // namespace tovela

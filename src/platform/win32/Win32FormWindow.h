#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "platform/FormWindow.h"
#include "platform/win32/SettingsControls.h"
#include "platform/win32/Win32Form.h"

namespace tovela::win32 {

// The settings window: child controls of the main form's window, brought in line with the
// model by Render, and the user's input on them turned into FormWindowEvents. Also the
// desktop calls made on the form's behalf (pop-up menus, the closing animation, the
// remembered question).
class Win32FormWindow final : public FormWindow {
public:
    // Posted to the form to put the focus where the model has it, once the message that
    // moved it elsewhere is over.
    static constexpr UINT kRestoreFocusMessage = WM_APP + 0x2A0;

    explicit Win32FormWindow(std::shared_ptr<Win32Form> form);
    ~Win32FormWindow() override;
    Win32FormWindow(const Win32FormWindow&) = delete;
    Win32FormWindow& operator=(const Win32FormWindow&) = delete;

    void SetEvents(FormWindowEvents* events) override { events_ = events; }
    void Render(const SettingsWindowModel& model) override;
    int TrackPopupMenu(const std::vector<MenuItem>& items) override;
    void SetForegroundWindow() override;
    void SetTopmost() override;
    bool DrawAnimatedRectsToTray() override;
    std::optional<std::string> MinAnimateSetting() override;
    int MessageBoxCheck(const std::string& text, const std::string& caption, std::uint32_t style,
                        int defaultAnswer, const std::string& valueName) override;
    std::uintptr_t Handle() const override;

    // The child window of a control, for tests and the end-to-end probe's control ids.
    HWND Control(Slot slot) const { return controls_[static_cast<std::size_t>(slot)]; }
    HWND Tooltip() const { return tooltip_; }
    HFONT Font() const { return font_; }
    UINT Dpi() const { return dpi_; }

private:
    void CreateControls();
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void OnCommand(const ControlEntry& entry, UINT code, HWND control);
    void OnFocusArrived(const ControlEntry& entry);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    void ApplyFont(const std::string& name, int charset);
    void ApplyLayout();
    void ApplyControl(const ControlEntry& entry, const ControlState& state);
    void ApplyTip(HWND control, const std::string& tip, const std::string& was);
    void ApplyVisibility(bool visible);
    void ApplyFocus();
    void ApplyBusyPointer(bool busy);
    void UpdateDefaultButton(HWND focus);
    void CenterOnWorkArea();

    HWND Form() const { return form_->Handle(); }
    ControlState& Shown(Slot slot) { return shown_[static_cast<std::size_t>(slot)]; }

    // Runs an event handler, remembering that one runs: focus changes asked for meanwhile
    // wait until it is over.
    template <typename Call>
    void Dispatch(Call call);

    std::shared_ptr<Win32Form> form_;
    FormWindowEvents* events_ = nullptr;
    std::array<HWND, kSlotCount> controls_{};
    std::array<ControlState, kSlotCount> shown_{};
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    std::string fontName_;
    int fontCharset_ = -1;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    // The last model rendered, with the focus moves the user made since.
    SettingsWindowModel model_;
    std::string caption_;
    bool rendering_ = false;
    int dispatching_ = 0;
    bool busy_ = false;
    bool placed_ = false;
    int defaultId_ = IDOK;
    // A control the focus was refused to: its click does not count either.
    ControlId refused_ = ControlId::None;
};

}  // namespace tovela::win32

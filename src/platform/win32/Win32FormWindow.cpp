#include "platform/win32/Win32FormWindow.h"

#include <commctrl.h>

#include "platform/win32/Dpi.h"
#include "platform/win32/MessageBoxCheck.h"
#include "platform/win32/NotificationArea.h"
#include "platform/win32/PopupMenu.h"
#include "platform/win32/SettingsLayout.h"
#include "platform/win32/WinText.h"

namespace tovela::win32 {
namespace {

// Japanese dialogs read best at 9 points; the classic 8 cuts the kanji's strokes.
constexpr int kFontPoints = 9;
// The check box's square (or the option's circle) and the gap to its caption at 96 DPI.
constexpr int kCheckWidthAt96 = 20;
// Long tips wrap at this width (at 96 DPI) instead of running across the screen.
constexpr int kTipWidthAt96 = 320;

struct WindowClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowClassAndStyle ClassAndStyle(const ControlEntry& entry) {
    // Each group of the arrow keys starts with WS_GROUP.
    const bool startsGroup = entry.slot == Slot::lblServer ||
                             entry.slot == Slot::chkGuardaPassword ||
                             entry.slot == Slot::optBlackList ||
                             entry.slot == Slot::lblTitleFilters || entry.slot == Slot::cmdAceptar;
    const DWORD group = startsGroup ? WS_GROUP : 0;
    switch (entry.kind) {
        case ControlKind::Label:
            // SS_NOTIFY: a label only sees the mouse, and so shows its tip, with it.
            return {L"STATIC", SS_LEFT | SS_NOTIFY | group, 0};
        case ControlKind::Edit:
            return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | group, WS_EX_CLIENTEDGE};
        case ControlKind::Password:
            return {L"EDIT", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP | group, WS_EX_CLIENTEDGE};
        case ControlKind::Check:
            // Not an automatic box: the value (also the grayed one) is the model's.
            return {L"BUTTON", BS_3STATE | BS_NOTIFY | WS_TABSTOP | group, 0};
        case ControlKind::Option:
            return {L"BUTTON",
                    BS_RADIOBUTTON | BS_NOTIFY | group |
                        (entry.slot == Slot::optBlackList ? WS_TABSTOP : 0),
                    0};
        case ControlKind::Frame:
            return {L"BUTTON", BS_GROUPBOX | group, 0};
        case ControlKind::Button:
            return {L"BUTTON",
                    (entry.slot == Slot::cmdAceptar ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                        BS_NOTIFY | WS_TABSTOP | group,
                    0};
    }
    return {L"STATIC", 0, 0};
}

bool IsTextBox(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::Password;
}

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
    return Narrow(text);
}

int TextWidth(HDC dc, const std::string& text) {
    if (text.empty()) return 0;
    const std::wstring wide = Wide(text);
    RECT r = {};
    // Measured as the controls draw it: "&" marks a mnemonic and takes no room.
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    return r.right - r.left;
}

// Sets a flag of the window's style without re-creating it.
void SetStyleFlag(HWND hwnd, DWORD flag, bool on) {
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR wanted = on ? (style | flag) : (style & ~static_cast<LONG_PTR>(flag));
    if (wanted != style) SetWindowLongPtrW(hwnd, GWL_STYLE, wanted);
}

}  // namespace

template <typename Call>
void Win32FormWindow::Dispatch(Call call) {
    if (!events_) return;
    ++dispatching_;
    call();
    --dispatching_;
}

Win32FormWindow::Win32FormWindow(std::shared_ptr<Win32Form> form) : form_(std::move(form)) {
    if (!Form()) return;
    dpi_ = DpiOfWindow(Form());
    CreateControls();
    ApplyFont(fontName_, 0);
    ApplyLayout();
    form_->SetMessageFilter([this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
        return OnMessage(msg, wp, lp, result);
    });
}

Win32FormWindow::~Win32FormWindow() {
    if (!form_->Handle()) return;
    form_->SetMessageFilter(nullptr);
    if (tooltip_) DestroyWindow(tooltip_);
    for (HWND control : controls_) {
        if (control) DestroyWindow(control);
    }
    if (font_) DeleteObject(font_);
}

void Win32FormWindow::CreateControls() {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlEntry& entry : ControlTable()) {
        const WindowClassAndStyle cs = ClassAndStyle(entry);
        HWND control = CreateWindowExW(
            cs.exStyle, cs.className, L"", cs.style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, Form(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.dialogId)), instance, nullptr);
        controls_[static_cast<std::size_t>(entry.slot)] = control;
        if (entry.kind == ControlKind::Password) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
    }
    // The frame goes below the controls it holds, or it paints over them. It takes no
    // focus, so the tab order stays that of the table.
    SetWindowPos(Control(Slot::fraFilters), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, Form(), nullptr, instance, nullptr);
}

void Win32FormWindow::Render(const SettingsWindowModel& model) {
    if (!Form()) return;
    rendering_ = true;
    bool relayout = false;
    if (model.fontName != fontName_ || model.fontCharset != fontCharset_) {
        ApplyFont(model.fontName, model.fontCharset);
        relayout = true;
    }
    if (model.caption != caption_) {
        SetWindowTextW(Form(), Wide(model.caption).c_str());
        caption_ = model.caption;
    }
    for (const ControlEntry& entry : ControlTable()) {
        const ControlState state = Describe(model, entry.slot);
        if (!IsTextBox(entry.kind) && state.text != Shown(entry.slot).text) relayout = true;
        ApplyControl(entry, state);
    }
    if (relayout) ApplyLayout();

    HMENU system = GetSystemMenu(Form(), FALSE);
    if (system) {
        EnableMenuItem(system, SC_CLOSE,
                       MF_BYCOMMAND | (model.cmdCerrar.enabled ? MF_ENABLED : MF_GRAYED));
    }
    ApplyBusyPointer(model.busyPointer);
    model_ = model;
    ApplyVisibility(model.visible);
    rendering_ = false;

    // Moving the focus inside an event's handler would pull it from under the control that
    // is taking it; it moves once that message is over.
    if (dispatching_ > 0) {
        PostMessageW(Form(), kRestoreFocusMessage, 0, 0);
    } else {
        ApplyFocus();
    }
}

void Win32FormWindow::ApplyControl(const ControlEntry& entry, const ControlState& state) {
    HWND control = Control(entry.slot);
    ControlState& shown = Shown(entry.slot);
    if (IsTextBox(entry.kind)) {
        const bool selectionMoved =
            state.selStart != shown.selStart || state.selLength != shown.selLength;
        if (state.text != shown.text) {
            SetWindowTextW(control, Wide(state.text).c_str());
            SendMessageW(control, EM_SETSEL, state.selStart, state.selStart + state.selLength);
        } else if (selectionMoved && state.selLength > 0) {
            // A selection the model makes (the whole text when the box gets the focus). An
            // empty one is what assigning a text leaves, and must not move the caret the
            // user is typing at.
            SendMessageW(control, EM_SETSEL, state.selStart, state.selStart + state.selLength);
        }
    } else if (state.text != shown.text) {
        SetWindowTextW(control, Wide(state.text).c_str());
    }
    if (entry.kind == ControlKind::Check || entry.kind == ControlKind::Option) {
        if (state.check != shown.check) SendMessageW(control, BM_SETCHECK, state.check, 0);
    }
    if (entry.kind == ControlKind::Option) {
        // Tab reaches the option that is selected, as in a dialog.
        const bool black = entry.slot == Slot::optBlackList;
        const ControlState other = Shown(black ? Slot::optWhiteList : Slot::optBlackList);
        SetStyleFlag(control, WS_TABSTOP,
                     state.check == kChecked || (black && other.check != kChecked));
    }
    if (state.enabled != shown.enabled) EnableWindow(control, state.enabled);
    if (state.tip != shown.tip) ApplyTip(control, state.tip, shown.tip);
    shown = state;
}

void Win32FormWindow::ApplyTip(HWND control, const std::string& tip, const std::string& was) {
    if (!tooltip_) return;
    std::wstring text = Wide(tip);
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = Form();
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text.data();
    if (tip.empty()) {
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    } else if (was.empty()) {
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    } else {
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void Win32FormWindow::ApplyFont(const std::string& name, int charset) {
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(kFontPoints, static_cast<int>(dpi_), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(name.empty() ? DEFAULT_CHARSET : charset);
    const std::wstring face = Wide(name.empty() ? std::string("MS Shell Dlg") : name);
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT created = CreateFontIndirectW(&font);
    if (!created) return;
    for (HWND control : controls_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
    }
    if (tooltip_) {
        SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(created), TRUE);
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0,
                     MulDiv(kTipWidthAt96, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI));
    }
    if (font_) DeleteObject(font_);
    font_ = created;
    fontName_ = name;
    fontCharset_ = charset;
}

void Win32FormWindow::ApplyLayout() {
    LayoutMetrics metrics;
    HDC dc = GetDC(Form());
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    // The dialog manager's base units: the mean width of the Latin letters, rounded.
    SIZE letters = {};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &letters);
    metrics.baseX = (letters.cx / 26 + 1) / 2;
    metrics.baseY = tm.tmHeight;
    metrics.checkWidth = MulDiv(kCheckWidthAt96, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
    for (const ControlEntry& entry : ControlTable()) {
        if (IsTextBox(entry.kind)) continue;
        metrics.textWidth[static_cast<std::size_t>(entry.slot)] =
            TextWidth(dc, Shown(entry.slot).text);
    }
    SelectObject(dc, old);
    ReleaseDC(Form(), dc);

    const SettingsLayout layout = LayoutSettingsWindow(metrics);
    for (const ControlEntry& entry : ControlTable()) {
        const RECT& r = layout.rects[static_cast<std::size_t>(entry.slot)];
        SetWindowPos(Control(entry.slot), nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(Form(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(Form(), GWL_EXSTYLE));
    const RECT window = WindowRectForClient(layout.client, style, exStyle, dpi_);
    SetWindowPos(Form(), nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormWindow::ApplyVisibility(bool visible) {
    const bool isVisible = IsWindowVisible(Form()) != FALSE;
    if (visible && !isVisible) {
        if (!placed_) CenterOnWorkArea();
        placed_ = true;
        ShowWindow(Form(), SW_SHOWNORMAL);
        ::SetForegroundWindow(Form());
    } else if (!visible && isVisible) {
        ShowWindow(Form(), SW_HIDE);
    }
}

void Win32FormWindow::ApplyFocus() {
    const ControlEntry* entry = FindEntry(model_.focused);
    // A window in the background gets the focus back when it is activated again.
    if (!entry || !IsWindowVisible(Form()) || GetActiveWindow() != Form()) return;
    HWND target = Control(entry->slot);
    if (!IsWindowEnabled(target)) return;
    if (GetFocus() != target) {
        const bool wasRendering = rendering_;
        rendering_ = true;
        ::SetFocus(target);
        rendering_ = wasRendering;
    }
    UpdateDefaultButton(target);
}

void Win32FormWindow::ApplyBusyPointer(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    // The pointer changes at once when it is over the window, not at the next mouse move.
    POINT at = {};
    GetCursorPos(&at);
    HWND under = WindowFromPoint(at);
    if (!under || (under != Form() && !IsChild(Form(), under))) return;
    if (busy) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
}

void Win32FormWindow::UpdateDefaultButton(HWND focus) {
    // As in a dialog, a focused push button is the one Enter presses; elsewhere it is OK.
    const int id = focus == Control(Slot::cmdCerrar) ? IDCANCEL : IDOK;
    if (id == defaultId_) return;
    defaultId_ = id;
    SendMessageW(Control(Slot::cmdAceptar), BM_SETSTYLE,
                 (id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY, TRUE);
    SendMessageW(Control(Slot::cmdCerrar), BM_SETSTYLE,
                 (id == IDCANCEL ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY, TRUE);
}

void Win32FormWindow::CenterOnWorkArea() {
    RECT window = {};
    GetWindowRect(Form(), &window);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(Form(), MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    const RECT& work = monitor.rcWork;
    const int width = window.right - window.left, height = window.bottom - window.top;
    SetWindowPos(Form(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32FormWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_COMMAND: {
            const ControlEntry* entry = FindEntryByDialogId(LOWORD(wp));
            if (!entry) return false;
            OnCommand(*entry, HIWORD(wp), reinterpret_cast<HWND>(lp));
            return true;
        }
        case DM_GETDEFID:
            // IsDialogMessage asks this when Enter is pressed in a control that does not
            // want it.
            result = MAKELRESULT(defaultId_, DC_HASDEFID);
            return true;
        case WM_SYSCOMMAND:
            // The close box and Alt+F4 hide the window as "閉じる" does; WM_CLOSE itself
            // (the task manager, the end of the session) still ends the program.
            if ((wp & 0xFFF0) != SC_CLOSE) return false;
            if (!rendering_ && IsWindowEnabled(Control(Slot::cmdCerrar))) {
                Dispatch([&] { events_->OnButtonClicked(ControlId::cmdCerrar); });
            }
            return true;
        case WM_SETCURSOR:
            if (!busy_) return false;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            result = TRUE;
            return true;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) return false;
            // The hidden form is also made the foreground window before a pop-up menu;
            // only the settings window on screen becomes active for the user.
            if (!rendering_ && IsWindowVisible(Form())) {
                Dispatch([&] { events_->OnActivated(); });
            }
            // The focus returns to the control the model has it in, not to the window.
            if (!FindEntry(model_.focused)) return false;
            ApplyFocus();
            return true;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return true;
        case kRestoreFocusMessage:
            // The click that went with the refused focus is over by now; a later Enter
            // presses OK again.
            refused_ = ControlId::None;
            ApplyFocus();
            return true;
        default:
            return false;
    }
}

void Win32FormWindow::OnCommand(const ControlEntry& entry, UINT code, HWND) {
    // Whatever Render itself changes is no user input.
    if (rendering_ || !events_) return;
    HWND control = Control(entry.slot);
    ControlState& shown = Shown(entry.slot);
    const bool takingFocus =
        IsTextBox(entry.kind) ? code == EN_SETFOCUS : code == static_cast<UINT>(BN_SETFOCUS);
    if (takingFocus) {
        OnFocusArrived(entry);
        return;
    }
    if (IsTextBox(entry.kind)) {
        if (code != EN_CHANGE) return;
        shown.text = WindowText(control);
        const std::string text = shown.text;
        Dispatch([&] { events_->OnTextChanged(entry.id, text); });
        return;
    }
    if (code != BN_CLICKED || entry.id == ControlId::None) return;
    // A click on a control that could not take the focus does not count, as the focus
    // stayed where validation kept it.
    if (refused_ == entry.id || !IsWindowEnabled(control)) return;
    // The control changes the way the user expects at once; the next Render settles it.
    rendering_ = true;
    if (entry.kind == ControlKind::Check) {
        shown.check = shown.check == kChecked ? kUnchecked : kChecked;
        SendMessageW(control, BM_SETCHECK, shown.check, 0);
    } else if (entry.kind == ControlKind::Option) {
        const Slot other =
            entry.slot == Slot::optBlackList ? Slot::optWhiteList : Slot::optBlackList;
        shown.check = kChecked;
        Shown(other).check = kUnchecked;
        SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(Control(other), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    rendering_ = false;
    switch (entry.kind) {
        case ControlKind::Check: {
            const int value = shown.check;
            Dispatch([&] { events_->OnCheckClicked(entry.id, value); });
            break;
        }
        case ControlKind::Option:
            Dispatch([&] { events_->OnOptionClicked(entry.id); });
            break;
        case ControlKind::Button:
            Dispatch([&] { events_->OnButtonClicked(entry.id); });
            break;
        default:
            break;
    }
}

void Win32FormWindow::OnFocusArrived(const ControlEntry& entry) {
    UpdateDefaultButton(Control(entry.slot));
    if (entry.id == ControlId::None) return;
    if (entry.id == model_.focused) {
        refused_ = ControlId::None;
        return;
    }
    bool accepted = true;
    Dispatch([&] { accepted = events_->OnFocusChanged(entry.id); });
    if (accepted) {
        model_.focused = entry.id;
        refused_ = ControlId::None;
    } else {
        // A message box may be on screen; the focus goes back once this message is over.
        refused_ = entry.id;
        PostMessageW(Form(), kRestoreFocusMessage, 0, 0);
    }
}

void Win32FormWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
    SetWindowPos(Form(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The font at the new DPI, and the controls laid out for it; the window keeps the
    // suggested position and takes the size the layout needs.
    ApplyFont(fontName_, fontCharset_);
    ApplyLayout();
}

int Win32FormWindow::TrackPopupMenu(const std::vector<MenuItem>& items) {
    return TrackPopupMenuAtCursor(Form(), items);
}

void Win32FormWindow::SetForegroundWindow() {
    ::SetForegroundWindow(Form());
}

void Win32FormWindow::SetTopmost() {
    SetWindowPos(Form(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

bool Win32FormWindow::DrawAnimatedRectsToTray() {
    return AnimateIntoNotificationArea(Form());
}

std::optional<std::string> Win32FormWindow::MinAnimateSetting() {
    return ReadMinAnimate();
}

int Win32FormWindow::MessageBoxCheck(const std::string& text, const std::string& caption,
                                     std::uint32_t style, int defaultAnswer,
                                     const std::string& valueName) {
    return ShellMessageBoxCheck(Form(), text, caption, style, defaultAnswer, valueName);
}

std::uintptr_t Win32FormWindow::Handle() const {
    return reinterpret_cast<std::uintptr_t>(form_->Handle());
}

}  // namespace tovela::win32

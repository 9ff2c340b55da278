#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/DebugLog.h"
#include "notify/TrayMenus.h"
#include "platform/win32/Win32Form.h"
#include "platform/win32/Win32FormWindow.h"
#include "settings/InterfaceTexts.h"

namespace tovela::win32 {

inline const char* NameOf(ControlId id) {
    switch (id) {
        case ControlId::txtTovelaHost:
            return "txtTovelaHost";
        case ControlId::txtUsuario:
            return "txtUsuario";
        case ControlId::txtPassword:
            return "txtPassword";
        case ControlId::txtFilters:
            return "txtFilters";
        case ControlId::chkSSL:
            return "chkSSL";
        case ControlId::chkGuardaPassword:
            return "chkGuardaPassword";
        case ControlId::chkWebmailLogin:
            return "chkWebmailLogin";
        case ControlId::chkVentana:
            return "chkVentana";
        case ControlId::chkSonido:
            return "chkSonido";
        case ControlId::optBlackList:
            return "optBlackList";
        case ControlId::optWhiteList:
            return "optWhiteList";
        case ControlId::cmdAceptar:
            return "cmdAceptar";
        case ControlId::cmdCerrar:
            return "cmdCerrar";
        case ControlId::None:
            return "None";
    }
    return "?";
}

// Every event as a line, in order.
class RecordingFormEvents final : public FormWindowEvents {
public:
    void OnTextChanged(ControlId box, const std::string& text) override {
        log.push_back(std::string("text ") + NameOf(box) + " " + text);
    }
    void OnCheckClicked(ControlId box, int value) override {
        log.push_back(std::string("check ") + NameOf(box) + " " + std::to_string(value));
    }
    void OnOptionClicked(ControlId option) override {
        log.push_back(std::string("option ") + NameOf(option));
    }
    void OnButtonClicked(ControlId button) override {
        log.push_back(std::string("button ") + NameOf(button));
    }
    bool OnFocusChanged(ControlId control) override {
        log.push_back(std::string("focus ") + NameOf(control));
        return acceptFocus;
    }
    void OnActivated() override { ++activations; }

    std::vector<std::string> log;
    bool acceptFocus = true;
    int activations = 0;
};

// The window as the program shows it after start-up: Japanese texts and the dialog font.
inline SettingsWindowModel JapaneseModel() {
    SettingsWindowModel model;
    TrayMenus menus;
    NullDebugLog log;
    TranslateControls(model, menus, log);
    ApplyDialogFont(model);
    model.caption = "Tovela Notifier v6.1.0";
    model.txtTovelaHost.text = "mail.example.com";
    model.txtUsuario.text = "山田";
    model.txtPassword.text = "********************";
    model.lblMailPollInterval.caption = "60";
    model.chkSSL.value = kChecked;
    model.chkSonido.value = kChecked;
    model.txtFilters.text = "迷惑メール";
    model.visible = true;
    model.focused = ControlId::txtTovelaHost;
    return model;
}

// The tray menu as the program shows it without a session.
inline std::vector<MenuItem> TrayMenu() {
    return {
        {.command = 1, .caption = "Tovelaを開く", .enabled = false, .isDefault = true},
        {.command = 2, .caption = "新着メールを確認", .enabled = false},
        {.command = 3, .caption = "設定"},
        {.caption = "Windowsとの統合",
         .submenu = {{.command = 4,
                      .caption = "デフォルトのメールアプリケーションとして設定",
                      .checked = true},
                     {.command = 5, .caption = "起動時に自動実行する"}}},
        {.separator = true},
        {.command = 6, .caption = "Tovela Notifierについて"},
        {.command = 7, .caption = "終了"},
    };
}

// Pumps this thread's messages, the dialog keys through the form as the program's loops do,
// until `done` holds or `limitMs` passes.
template <typename Done>
bool PumpUntil(Win32Form& form, Done done, DWORD limitMs = 5000) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    MSG msg = {};
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (form.TranslateDialogMessage(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Handles every message already posted, so none is left for the next step.
inline void Drain(Win32Form& form) {
    PumpUntil(
        form, [] { return false; }, 50);
}

inline std::wstring WideText(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

struct ShownFormWindow {
    ShownFormWindow() : form(std::make_shared<Win32Form>()), window(form) {
        window.SetEvents(&events);
    }
    std::shared_ptr<Win32Form> form;
    Win32FormWindow window;
    RecordingFormEvents events;
};

}  // namespace tovela::win32

#pragma once

#include <string>
#include <vector>

#include "fakes/FakeSettingsStore.h"
#include "fakes/RecordingDebugLog.h"
#include "settings/Settings.h"

namespace tovela::testing {

// Records what the window asks of the main form, with whether the window was shown then.
class RecordingWindowHost final : public SettingsWindowHost {
public:
    void ShowMessage(std::string_view text, int style, std::string_view) override {
        messages.push_back(std::string(text) + " " + std::to_string(style));
    }
    void AnimateWindow() override { Note("AnimateWindow"); }
    void TrimWorkingSet() override { Note("TrimWorkingSet"); }
    void Note(const std::string& call) {
        calls.push_back(call + (*visible ? " shown" : " hidden"));
    }

    const bool* visible = nullptr;
    std::vector<std::string> messages, calls;
};

// The form state the settings window works on, with a live session to see it cleared.
struct SettingsHarness {
    SettingsHarness() {
        host.visible = &window.Model().visible;
        session.sAuthToken = "token";
        session.sSessionId = "session";
        session.sNotifySeq = "7";
        session.bOptionsProbed = true;
    }
    // The user types into the password box and leaves it.
    void EnterPassword(const std::string& password) {
        window.SetText(ControlId::txtPassword, password);
        window.txtPassword_Validate();
    }
    void Restore(FakeSettingsStore& store) { RestoreSettings(window, menus, store, log); }
    void Save(FakeSettingsStore& store, int mode = kSaveOnApply) {
        NoSettingsIntegration none;
        SaveTNSettings(mode, window, menus, store, log, none);
    }
    const SettingsWindowModel& form() const { return window.Model(); }

    SessionContext session;
    std::string sPassword;
    bool bFoldersLoaded = true;
    RecordingWindowHost host;
    RecordingDebugLog log;
    TrayMenus menus;
    SettingsWindow window{session, sPassword, bFoldersLoaded, host};
};

inline const std::string kMask(20, '*');

}  // namespace tovela::testing

#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/FormWindow.h"
#include "platform/SettingsStore.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/JsonDesktop.h"
#include "platform/posix/PosixInstance.h"

namespace tovela::posix {

class InputChannel;

// The settings window and the pop-up menus as JSON lines: the window's state whenever it
// changes (never the password), each menu as it opens with the entry the script picked.
// The answers of "don't ask again" questions are remembered in `remembered`.
class JsonFormWindow final : public FormWindow {
public:
    JsonFormWindow(std::ostream& out, ScriptedAnswers& answers,
                   std::unique_ptr<SettingsStore> remembered);
    ~JsonFormWindow() override;

    // Reads what a user does from `fd` (JSON lines) for as long as it gives any.
    void ListenForInput(EventLoop& loop, int fd, PosixWindowSystem& windows);

    void SetEvents(FormWindowEvents* events) override { events_ = events; }
    void Render(const SettingsWindowModel& model) override;
    int TrackPopupMenu(const std::vector<MenuItem>& items) override;
    void SetForegroundWindow() override {}
    void SetTopmost() override {}
    // No notification area to animate to.
    bool DrawAnimatedRectsToTray() override { return false; }
    std::optional<std::string> MinAnimateSetting() override { return std::nullopt; }
    int MessageBoxCheck(const std::string& text, const std::string& caption, std::uint32_t style,
                        int defaultAnswer, const std::string& valueName) override;
    std::uintptr_t Handle() const override { return 0; }

    // For the input channel: who receives the user's actions, and what the window showed
    // last (a click on a check box toggles the value shown).
    FormWindowEvents* Events() const { return events_; }
    const SettingsWindowModel& Shown() const { return shown_; }

    // The event line of a window state, without the password.
    static std::string StateLine(const SettingsWindowModel& model);

private:
    std::ostream& out_;
    ScriptedAnswers& answers_;
    std::unique_ptr<SettingsStore> remembered_;
    std::unique_ptr<InputChannel> input_;
    FormWindowEvents* events_ = nullptr;
    SettingsWindowModel shown_;
    std::string lastLine_;
};

}  // namespace tovela::posix

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/FormWindow.h"

namespace tovela::testing {

// Records what the form shows; menus and "don't ask again" boxes answer as a test says.
class FakeFormWindow final : public FormWindow {
public:
    struct CheckBox {
        std::string text, caption, valueName;
        std::uint32_t style;
        int defaultAnswer;
    };

    void SetEvents(FormWindowEvents* e) override { events = e; }
    void Render(const SettingsWindowModel& model) override {
        ++renders;
        shown = model;
    }
    int TrackPopupMenu(const std::vector<MenuItem>& items) override {
        menus.push_back(items);
        if (whileMenuIsOpen) whileMenuIsOpen();
        if (picks.empty()) return 0;
        const int pick = picks.front();
        picks.erase(picks.begin());
        return pick;
    }
    void SetForegroundWindow() override { ++foregrounds; }
    void SetTopmost() override { ++topmosts; }
    bool DrawAnimatedRectsToTray() override {
        ++animations;
        return true;
    }
    std::optional<std::string> MinAnimateSetting() override { return minAnimate; }
    int MessageBoxCheck(const std::string& text, const std::string& caption, std::uint32_t style,
                        int defaultAnswer, const std::string& valueName) override {
        checkBoxes.push_back({text, caption, valueName, style, defaultAnswer});
        return checkAnswer;
    }
    std::uintptr_t Handle() const override { return 0xF0; }

    FormWindowEvents* events = nullptr;
    SettingsWindowModel shown;
    int renders = 0;
    std::vector<std::vector<MenuItem>> menus;
    std::vector<int> picks;  // commands the next menus return, then 0
    std::function<void()> whileMenuIsOpen;
    int foregrounds = 0;
    int topmosts = 0;
    int animations = 0;
    std::optional<std::string> minAnimate = "1";
    std::vector<CheckBox> checkBoxes;
    int checkAnswer = -1;
};

}  // namespace tovela::testing

#pragma once

#include <string_view>

namespace tovela {

// Message box styles the settings window uses.
inline constexpr int kStyleQuestion = 32;
inline constexpr int kStyleExclamation = 48;
inline constexpr int kStyleInformation = 64;

// What the settings window needs from the main form: the program's one message box, the
// closing animation towards the notification area and the working-set trim.
class SettingsWindowHost {
public:
    virtual ~SettingsWindowHost() = default;
    // An empty title means the application title with its version.
    virtual void ShowMessage(std::string_view text, int style, std::string_view title) = 0;
    virtual void AnimateWindow() = 0;
    virtual void TrimWorkingSet() = 0;
    // Something on the window changed: what the user sees must follow.
    virtual void ModelChanged() {}
};

}  // namespace tovela

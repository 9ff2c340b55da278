#pragma once

#include <windows.h>

#include <array>

#include "platform/win32/SettingsControls.h"

namespace tovela::win32 {

// What the layout needs to know about the font at the window's DPI, in pixels.
struct LayoutMetrics {
    int baseX = 0;  // dialog base units: the average character width
    int baseY = 0;  // and the character height of the font
    // The box or circle of a check box or option button with its gap to the caption.
    int checkWidth = 0;
    // The width of each control's caption as the control draws it; 0 for text boxes.
    std::array<int, kSlotCount> textWidth{};
};

struct SettingsLayout {
    std::array<RECT, kSlotCount> rects{};  // in the window's client coordinates
    SIZE client{};
};

// Dialog units, widened where a caption needs more room than the design gives it: labels
// in a left column with their boxes to the right, the check boxes in two columns, the
// filter frame across the window and the buttons at the bottom right.
SettingsLayout LayoutSettingsWindow(const LayoutMetrics& metrics);

}  // namespace tovela::win32

#pragma once

#include <windows.h>

#include <vector>

#include "platform/FormWindow.h"

namespace tovela::win32 {

// The items as a menu: submenus, separators, check marks, greyed items and the default item
// in bold. The caller destroys it (which destroys its submenus too).
HMENU BuildPopupMenu(const std::vector<MenuItem>& items);

// Pops the menu up at the mouse position, owned by `owner`, and returns the picked item's
// command, or 0 when the menu was closed without a pick.
int TrackPopupMenuAtCursor(HWND owner, const std::vector<MenuItem>& items);

}  // namespace tovela::win32

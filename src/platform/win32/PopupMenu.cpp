#include "platform/win32/PopupMenu.h"

#include "platform/win32/WinText.h"

namespace tovela::win32 {

HMENU BuildPopupMenu(const std::vector<MenuItem>& items) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    UINT position = 0;
    for (const MenuItem& item : items) {
        if (item.separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ++position;
            continue;
        }
        UINT flags = MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED) |
                     (item.checked ? MF_CHECKED : MF_UNCHECKED);
        UINT_PTR id = static_cast<UINT_PTR>(item.command);
        if (!item.submenu.empty()) {
            HMENU submenu = BuildPopupMenu(item.submenu);
            if (submenu) {
                flags |= MF_POPUP;
                id = reinterpret_cast<UINT_PTR>(submenu);
            }
        }
        const std::wstring caption = Wide(item.caption);
        AppendMenuW(menu, flags, id, caption.c_str());
        if (item.isDefault) SetMenuDefaultItem(menu, position, TRUE);
        ++position;
    }
    return menu;
}

int TrackPopupMenuAtCursor(HWND owner, const std::vector<MenuItem>& items) {
    HMENU menu = BuildPopupMenu(items);
    if (!menu) return 0;
    POINT at = {};
    GetCursorPos(&at);
    // A menu of a window that is not in the foreground does not close when the user clicks
    // elsewhere; the null message afterwards lets the next click reach the menu's owner.
    SetForegroundWindow(owner);
    const int command = static_cast<int>(::TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return command;
}

}  // namespace tovela::win32

#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// Other programs' windows on the desktop, as the window search of the webmail launch sees
// them. Handles are 0 for "none".
class DesktopWindows {
public:
    virtual ~DesktopWindows() = default;
    // FindWindowEx: the next child of `parent` (0: the desktop, that is the top-level
    // windows) after `after` (0: the first), of class `className` (empty: any class).
    virtual std::uintptr_t NextWindow(std::uintptr_t parent, std::uintptr_t after,
                                      const std::string& className) = 0;
    // GetWindow GW_CHILD: the window's first child.
    virtual std::uintptr_t FirstChild(std::uintptr_t window) = 0;
    virtual std::string WindowText(std::uintptr_t window) = 0;
    // GetClassName, at most 255 characters.
    virtual std::string ClassName(std::uintptr_t window) = 0;
    // Forces a window of another program to the front: input attached to its thread and to
    // the foreground one, SetForegroundWindow (a posted click when refused), on top,
    // restored when minimised, activated, input detached again.
    virtual void BringToFront(std::uintptr_t window) = 0;
};

}  // namespace tovela

#pragma once

#include <ostream>

#include "platform/DesktopWindows.h"
#include "platform/Shell.h"

namespace tovela::posix {

// Each address or document opened is an event line; on a desktop session (DISPLAY or
// WAYLAND_DISPLAY set) it is also handed to xdg-open, which runs on its own.
class JsonShell final : public Shell {
public:
    explicit JsonShell(std::ostream& out) : out_(out) {}
    void ShellOpen(const std::string& file, const std::string& params) override;

private:
    std::ostream& out_;
};

// No browser windows are known here: every webmail launch opens its address.
class NoDesktopWindows final : public DesktopWindows {
public:
    std::uintptr_t NextWindow(std::uintptr_t, std::uintptr_t, const std::string&) override {
        return 0;
    }
    std::uintptr_t FirstChild(std::uintptr_t) override { return 0; }
    std::string WindowText(std::uintptr_t) override { return {}; }
    std::string ClassName(std::uintptr_t) override { return {}; }
    void BringToFront(std::uintptr_t) override {}
};

}  // namespace tovela::posix

#pragma once

#include "platform/DesktopWindows.h"

namespace tovela::win32 {

class Win32DesktopWindows final : public DesktopWindows {
public:
    std::uintptr_t NextWindow(std::uintptr_t parent, std::uintptr_t after,
                              const std::string& className) override;
    std::uintptr_t FirstChild(std::uintptr_t window) override;
    std::string WindowText(std::uintptr_t window) override;
    std::string ClassName(std::uintptr_t window) override;
    void BringToFront(std::uintptr_t window) override;
};

}  // namespace tovela::win32

#pragma once

#include <memory>

#include "platform/ShellLink.h"

namespace tovela::win32 {

// The shell's ShellLink object over COM.
class Win32ShellLinks final : public ShellLinkFactory {
public:
    std::unique_ptr<ShellLink> Create() override;
};

}  // namespace tovela::win32

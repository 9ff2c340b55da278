#pragma once

#include <memory>

#include "platform/ShellLink.h"

namespace tovela::posix {

// Shortcuts as small text files of "Field=value" lines (Target, Arguments,
// WorkingDirectory, Description, ShowCmd, Hotkey, IconLocation), so the Linux program's
// shortcuts can be read and followed by a script.
class TextShellLinks final : public ShellLinkFactory {
public:
    std::unique_ptr<ShellLink> Create() override;
};

}  // namespace tovela::posix

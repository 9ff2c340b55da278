#pragma once

#include "platform/Desktop.h"
#include "platform/Shell.h"

namespace tovela::win32 {

class Win32Shell final : public Shell {
public:
    explicit Win32Shell(Desktop& desktop) : desktop_(desktop) {}
    void ShellOpen(const std::string& file, const std::string& params) override;

private:
    Desktop& desktop_;
};

}  // namespace tovela::win32

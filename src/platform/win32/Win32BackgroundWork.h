#pragma once

#include "platform/BackgroundWork.h"

namespace tovela::win32 {

// Each job on a thread of its own; its end sets a manual-reset event.
class Win32BackgroundWork final : public BackgroundWork {
public:
    std::unique_ptr<BackgroundJob> Start(std::function<void()> work) override;
};

}  // namespace tovela::win32

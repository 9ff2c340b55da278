#pragma once

#include "platform/BackgroundWork.h"

namespace tovela::posix {

// Each job on a thread of its own; its end is signalled on an eventfd, which the event
// loop's MsgWaitForMultipleObjects waits on like any descriptor.
class ThreadBackgroundWork final : public BackgroundWork {
public:
    std::unique_ptr<BackgroundJob> Start(std::function<void()> work) override;
};

}  // namespace tovela::posix

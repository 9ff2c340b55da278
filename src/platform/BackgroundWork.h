#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace tovela {

// Work on a thread of its own, for calls that block for long (packing, uploading) while the
// user-interface thread keeps handling its messages.
class BackgroundJob {
public:
    // Waits for the work to end.
    virtual ~BackgroundJob() = default;
    // A handle that MessageLoop::MsgWaitForMultipleObjects sees signalled once the work
    // has ended: an event on Windows, a readable descriptor on Linux.
    virtual std::uintptr_t DoneHandle() = 0;
    virtual bool Done() = 0;
};

class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    virtual std::unique_ptr<BackgroundJob> Start(std::function<void()> work) = 0;
};

}  // namespace tovela

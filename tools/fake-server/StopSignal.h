#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tovela::fakeserver {

// Set once when the server is asked to end; scripted delays wait on it so that a slow
// answer never holds up the shutdown.
class StopSignal {
public:
    void Raise() {
        {
            std::lock_guard lock(mutex_);
            raised_ = true;
        }
        changed_.notify_all();
    }

    // Waits `delay` or until raised; true when raised.
    bool WaitFor(std::chrono::milliseconds delay) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, delay, [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace tovela::fakeserver

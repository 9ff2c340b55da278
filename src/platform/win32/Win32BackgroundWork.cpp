#include "platform/win32/Win32BackgroundWork.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace tovela::win32 {
namespace {

class EventJob final : public BackgroundJob {
public:
    explicit EventJob(std::function<void()> work)
        : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this, work = std::move(work)] {
            work();
            done_.store(true, std::memory_order_release);
            if (event_) SetEvent(event_);
        });
    }
    ~EventJob() override {
        thread_.join();
        if (event_) CloseHandle(event_);
    }
    EventJob(const EventJob&) = delete;
    EventJob& operator=(const EventJob&) = delete;

    std::uintptr_t DoneHandle() override { return reinterpret_cast<std::uintptr_t>(event_); }
    bool Done() override { return done_.load(std::memory_order_acquire); }

private:
    HANDLE event_;
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<BackgroundJob> Win32BackgroundWork::Start(std::function<void()> work) {
    return std::make_unique<EventJob>(std::move(work));
}

}  // namespace tovela::win32

#include "platform/posix/ThreadBackgroundWork.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace tovela::posix {
namespace {

class ThreadJob final : public BackgroundJob {
public:
    explicit ThreadJob(std::function<void()> work) : fd_(eventfd(0, EFD_CLOEXEC)) {
        thread_ = std::thread([this, work = std::move(work)] {
            work();
            done_.store(true, std::memory_order_release);
            // Never read back, so the descriptor stays readable from here on.
            const std::uint64_t one = 1;
            if (fd_ >= 0) {
                const ssize_t written = write(fd_, &one, sizeof one);
                (void)written;
            }
        });
    }
    ~ThreadJob() override {
        thread_.join();
        if (fd_ >= 0) close(fd_);
    }
    ThreadJob(const ThreadJob&) = delete;
    ThreadJob& operator=(const ThreadJob&) = delete;

    std::uintptr_t DoneHandle() override { return static_cast<std::uintptr_t>(fd_); }
    bool Done() override { return done_.load(std::memory_order_acquire); }

private:
    int fd_;
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<BackgroundJob> ThreadBackgroundWork::Start(std::function<void()> work) {
    return std::make_unique<ThreadJob>(std::move(work));
}

}  // namespace tovela::posix

#include "platform/posix/PosixInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/MailboxSocket.h"

namespace tovela::posix {

namespace {
// How long a second start waits for the running instance to handle its request, and how
// long the running instance waits for a slow sender's bytes before dropping it.
constexpr int kReplyWaitMs = 60'000;
constexpr int kRequestReadMs = 5'000;
}  // namespace

PosixSingleInstance::~PosixSingleInstance() {
    if (lockFd_ >= 0) close(lockFd_);
}

bool PosixSingleInstance::PrevInstance() {
    if (checked_) return previous_;
    checked_ = true;
    const std::string path = InstanceLockPath();
    if (path.empty()) return previous_;
    lockFd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return previous_;
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        previous_ = (errno == EWOULDBLOCK);
        close(lockFd_);
        lockFd_ = -1;
    }
    return previous_;
}

bool PosixSingleInstance::SendCopyData(std::uint32_t kind,
                                       const std::optional<std::string>& payload) {
    return SendMailboxRequest(MailboxSocketPath(), MailboxRequest{kind, payload}, kReplyWaitMs);
}

class PosixMailboxWindow final : public MailboxWindow {
public:
    PosixMailboxWindow(PosixWindowSystem& owner, MailboxSink& sink)
        : owner_(owner), sink_(sink), handle_(owner.nextHandle_++) {
        if (!owner_.socketServed_) Listen();
    }
    ~PosixMailboxWindow() override {
        if (listenFd_ < 0) return;
        owner_.loop_.Unwatch(listenFd_);
        close(listenFd_);
        unlink(path_.c_str());
        owner_.socketServed_ = false;
    }
    std::uintptr_t Handle() const override { return handle_; }

private:
    void Listen() {
        path_ = MailboxSocketPath();
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (path_.empty() || path_.size() >= sizeof address.sun_path) return;
        std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        // Whoever left this socket behind is gone: the instance lock is ours.
        unlink(path_.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 8) != 0) {
            close(fd);
            return;
        }
        listenFd_ = fd;
        owner_.socketServed_ = true;
        owner_.loop_.Watch(listenFd_, [this] { AcceptOne(); });
    }

    void AcceptOne() {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        ucred peer = {};
        socklen_t length = sizeof peer;
        bool sameUser =
            getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == getuid();
        if (sameUser) {
            if (auto request = ReadMailboxRequest(fd, kRequestReadMs)) {
                WriteMailboxReply(fd, sink_.OnCopyData(request->kind, request->payload));
            }
        }
        close(fd);
    }

    PosixWindowSystem& owner_;
    MailboxSink& sink_;
    std::uintptr_t handle_;
    int listenFd_ = -1;
    std::string path_;
};

std::unique_ptr<MailboxWindow> PosixWindowSystem::CreateMailboxWindow(MailboxSink& sink) {
    return std::make_unique<PosixMailboxWindow>(*this, sink);
}

}  // namespace tovela::posix

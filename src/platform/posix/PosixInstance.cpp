#include "platform/posix/PosixInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

#include "platform/posix/MailboxSocket.h"

namespace tovela::posix {

namespace {
// How long a second start waits for the running instance to handle its request, and how
// long the running instance waits for more bytes of a slow sender before dropping it.
constexpr int kReplyWaitMs = 60'000;
constexpr auto kIdleLimit = std::chrono::seconds(5);
// Connections read at the same time; one more drops the one that waited longest.
constexpr std::size_t kMaxConnections = 32;
// The timer that drops idle connections; the poll timer uses the program's own ids.
constexpr std::uint32_t kSweepTimerId = 0x4D42;
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
        owner_.live_[handle_] = &sink_;
        if (!owner_.socketServed_) Listen();
    }
    ~PosixMailboxWindow() override {
        owner_.live_.erase(handle_);
        for (auto& [fd, connection] : connections_) {
            owner_.loop_.Unwatch(fd);
            close(fd);
        }
        if (!connections_.empty()) owner_.loop_.KillTimer(kSweepTimerId);
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
            listen(fd, 64) != 0) {
            close(fd);
            return;
        }
        listenFd_ = fd;
        owner_.socketServed_ = true;
        owner_.loop_.Watch(listenFd_, [this] { AcceptOne(); });
    }

    // Requests are read as their bytes arrive, each connection on its own, so a sender that
    // stalls holds up nobody: not a second start, not the poll timer, not a signal.
    void AcceptOne() {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        ucred peer = {};
        socklen_t length = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid()) {
            close(fd);
            return;
        }
        if (connections_.size() >= kMaxConnections) {
            auto oldest = std::min_element(
                connections_.begin(), connections_.end(),
                [](const auto& a, const auto& b) { return a.second.since < b.second.since; });
            Drop(oldest->first);
        }
        if (connections_.empty()) {
            owner_.loop_.SetTimer(kSweepTimerId, 1000, [this] { DropIdle(); });
        }
        connections_[fd] = Connection{{}, Clock::now()};
        owner_.loop_.Watch(fd, [this, fd] { ReadFrom(fd); });
    }

    void ReadFrom(int fd) {
        auto it = connections_.find(fd);
        if (it == connections_.end()) return;
        char buffer[64 * 1024];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            Drop(fd);
            return;
        }
        it->second.since = Clock::now();
        const auto state = it->second.reader.Feed(buffer, static_cast<std::size_t>(n));
        if (state == MailboxRequestReader::State::Reading) return;
        MailboxRequest request = it->second.reader.Take();
        Forget(fd);
        if (state == MailboxRequestReader::State::Complete) {
            // The handler may run nested loops that serve other connections meanwhile.
            const std::intptr_t result = sink_.OnCopyData(request.kind, request.payload);
            WriteMailboxReply(fd, result);
        }
        close(fd);
    }

    void DropIdle() {
        const auto now = Clock::now();
        std::vector<int> idle;
        for (const auto& [fd, connection] : connections_) {
            if (now - connection.since > kIdleLimit) idle.push_back(fd);
        }
        for (int fd : idle) Drop(fd);
    }

    // Stops watching a connection; the caller closes it.
    void Forget(int fd) {
        owner_.loop_.Unwatch(fd);
        connections_.erase(fd);
        if (connections_.empty()) owner_.loop_.KillTimer(kSweepTimerId);
    }

    void Drop(int fd) {
        Forget(fd);
        close(fd);
    }

    using Clock = std::chrono::steady_clock;
    struct Connection {
        MailboxRequestReader reader;
        Clock::time_point since;
    };
    std::map<int, Connection> connections_;

    PosixWindowSystem& owner_;
    MailboxSink& sink_;
    std::uintptr_t handle_;
    int listenFd_ = -1;
    std::string path_;
};

std::unique_ptr<MailboxWindow> PosixWindowSystem::CreateMailboxWindow(MailboxSink& sink) {
    return std::make_unique<PosixMailboxWindow>(*this, sink);
}

MailboxSink* PosixWindowSystem::FindWindow(std::uintptr_t handle) const {
    const auto it = live_.find(handle);
    return it == live_.end() ? nullptr : it->second;
}

std::uintptr_t PosixWindowSystem::FirstWindow() const {
    return live_.empty() ? 0 : live_.begin()->first;
}

}  // namespace tovela::posix

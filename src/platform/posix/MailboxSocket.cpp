#include "platform/posix/MailboxSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace tovela::posix {
namespace {

using SteadyClock = std::chrono::steady_clock;

int RemainingMs(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool WaitFor(int fd, short events, SteadyClock::time_point deadline) {
    while (true) {
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, RemainingMs(deadline));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool ReadExactly(int fd, char* data, std::size_t size, SteadyClock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        if (!WaitFor(fd, POLLIN, deadline)) return false;
        ssize_t n = recv(fd, data + done, size - done, 0);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

bool SafeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 0077) == 0;
}

constexpr char kMagic[4] = {'T', 'V', 'M', '1'};

}  // namespace

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime && *runtime)
                             ? std::string(runtime) + "/NotificadorTovela"
                             : "/tmp/NotificadorTovela-" + std::to_string(getuid());
    return SafeFolder(folder) ? folder : std::string();
}

std::string MailboxSocketPath() {
    std::string folder = RuntimeFolder();
    return folder.empty() ? folder : folder + "/mailbox.sock";
}

std::string InstanceLockPath() {
    std::string folder = RuntimeFolder();
    return folder.empty() ? folder : folder + "/instance.lock";
}

bool SendMailboxRequest(const std::string& socketPath, const MailboxRequest& request, int replyMs) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    std::string message(kMagic, sizeof kMagic);
    PutU32(message, request.kind);
    message.push_back(request.payload ? 1 : 0);
    const std::string payload = request.payload.value_or(std::string());
    PutU32(message, static_cast<std::uint32_t>(payload.size()));
    message += payload;
    bool sent = WriteAll(fd, message.data(), message.size());
    if (sent) {
        // Like SendMessage: return once the receiver has handled the request.
        std::array<char, 8> reply{};
        ReadExactly(fd, reply.data(), reply.size(),
                    SteadyClock::now() + std::chrono::milliseconds(replyMs));
    }
    close(fd);
    return sent;
}

MailboxRequestReader::State MailboxRequestReader::Feed(const char* data, std::size_t size) {
    constexpr std::size_t kHeadSize = 13;
    while (state_ == State::Reading && size > 0) {
        if (head_.size() < kHeadSize) {
            const std::size_t take = std::min(size, kHeadSize - head_.size());
            head_.append(data, take);
            data += take;
            size -= take;
            if (head_.size() < kHeadSize) break;
            if (std::memcmp(head_.data(), kMagic, sizeof kMagic) != 0) {
                state_ = State::Malformed;
                break;
            }
            request_.kind = GetU32(head_.data() + 4);
            hasPayload_ = head_[8] != 0;
            expected_ = GetU32(head_.data() + 9);
            if (expected_ > kMaxMailboxPayload) {
                state_ = State::Malformed;
                break;
            }
        } else {
            const std::size_t take = std::min<std::size_t>(size, expected_ - bytes_.size());
            bytes_.append(data, take);
            data += take;
            size -= take;
        }
        if (head_.size() == kHeadSize && bytes_.size() == expected_) {
            // The receiver reads a NUL-terminated text, as from lpData.
            if (hasPayload_) request_.payload = bytes_.substr(0, bytes_.find('\0'));
            state_ = State::Complete;
        }
    }
    return state_;
}

MailboxRequest MailboxRequestReader::Take() {
    return std::move(request_);
}

std::optional<MailboxRequest> ReadMailboxRequest(int fd, int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    MailboxRequestReader reader;
    char buffer[4096];
    while (reader.state() == MailboxRequestReader::State::Reading) {
        if (!WaitFor(fd, POLLIN, deadline)) return std::nullopt;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return std::nullopt;
        reader.Feed(buffer, static_cast<std::size_t>(n));
    }
    if (reader.state() != MailboxRequestReader::State::Complete) return std::nullopt;
    return reader.Take();
}

void WriteMailboxReply(int fd, std::int64_t result) {
    std::string reply;
    auto value = static_cast<std::uint64_t>(result);
    for (int i = 0; i < 8; ++i) reply.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    WriteAll(fd, reply.data(), reply.size());
}

}  // namespace tovela::posix

#include "platform/posix/MailboxSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

std::optional<MailboxRequest> ReadMailboxRequest(int fd, int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    char head[13];
    if (!ReadExactly(fd, head, sizeof head, deadline)) return std::nullopt;
    if (std::memcmp(head, kMagic, sizeof kMagic) != 0) return std::nullopt;
    MailboxRequest request;
    request.kind = GetU32(head + 4);
    const bool hasPayload = head[8] != 0;
    const std::uint32_t size = GetU32(head + 9);
    if (size > kMaxMailboxPayload) return std::nullopt;
    std::string bytes(size, '\0');
    if (size > 0 && !ReadExactly(fd, bytes.data(), size, deadline)) return std::nullopt;
    if (hasPayload) {
        // The receiver reads a NUL-terminated text, as from lpData.
        request.payload = bytes.substr(0, bytes.find('\0'));
    }
    return request;
}

void WriteMailboxReply(int fd, std::int64_t result) {
    std::string reply;
    auto value = static_cast<std::uint64_t>(result);
    for (int i = 0; i < 8; ++i) reply.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    WriteAll(fd, reply.data(), reply.size());
}

}  // namespace tovela::posix

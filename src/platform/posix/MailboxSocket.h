#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The Linux stand-in for WM_COPYDATA to the "KVTTrayIconWnd" window: one request per
// connection on a per-user Unix-domain socket, answered with the handler's result.
//
// Request: "TVM1", dwData (u32 LE), 1 if lpData is set else 0 (u8), byte count (u32 LE),
// the bytes. Reply: the result (i64 LE).
namespace tovela::posix {

struct MailboxRequest {
    std::uint32_t kind = 0;
    std::optional<std::string> payload;
};

// The private folder that holds the lock and the socket: $XDG_RUNTIME_DIR/NotificadorTovela,
// else /tmp/NotificadorTovela-<uid>. Created with mode 0700 when missing; empty when it
// cannot be made safe (someone else owns it, or others may write to it).
std::string RuntimeFolder();
std::string MailboxSocketPath();
std::string InstanceLockPath();

// Connects and sends; false when nobody listens. Waits for the reply at most `replyMs`.
bool SendMailboxRequest(const std::string& socketPath, const MailboxRequest& request, int replyMs);

inline constexpr std::uint32_t kMaxMailboxPayload = 16u << 20;

// Takes a request in as its bytes arrive, in pieces of any size. The payload grows with
// what really came, never to the size a sender merely claims.
class MailboxRequestReader {
public:
    enum class State { Reading, Complete, Malformed };
    // Takes in the bytes; what follows a complete request is ignored.
    State Feed(const char* data, std::size_t size);
    State state() const { return state_; }
    // The request, once complete.
    MailboxRequest Take();

private:
    State state_ = State::Reading;
    std::string head_;
    std::string bytes_;
    std::uint32_t expected_ = 0;
    MailboxRequest request_;
    bool hasPayload_ = false;
};

// Reads one request from a connection, giving up after `timeoutMs` or on anything malformed
// or larger than the cap.
std::optional<MailboxRequest> ReadMailboxRequest(int fd, int timeoutMs);
void WriteMailboxReply(int fd, std::int64_t result);

}  // namespace tovela::posix

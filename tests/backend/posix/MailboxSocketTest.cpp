#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "platform/posix/EventLoop.h"
#include "platform/posix/MailboxSocket.h"
#include "platform/posix/PosixInstance.h"

namespace tovela::posix {
namespace {

namespace fs = std::filesystem;

class RecordingSink final : public MailboxSink {
public:
    explicit RecordingSink(EventLoop& loop) : loop_(loop) {}
    std::intptr_t OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) override {
        received.push_back({kind, text});
        if (received.size() == expected) loop_.Quit();
        return 0;
    }
    void OnTrayCallback(std::int16_t) override {}
    void OnTaskbarCreated() override {}

    std::vector<MailboxRequest> received;
    std::size_t expected = 1;

private:
    EventLoop& loop_;
};

class MailboxSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = fs::temp_directory_path() / ("tovela-runtime-" + std::to_string(getpid()));
        fs::remove_all(runtime);
        fs::create_directories(runtime);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(runtime);
    }
    // Serves the mailbox until `expected` requests arrived from `sender`, run on its own thread.
    void Receive(std::size_t expected, const std::function<void()>& sender) {
        sink.expected = expected;
        auto mailbox = windows.CreateMailboxWindow(sink);
        auto secondWindow = windows.CreateMailboxWindow(sink);  // an appointment icon's window
        EXPECT_NE(mailbox->Handle(), secondWindow->Handle());
        std::thread thread(sender);
        loop.Run();
        thread.join();
    }

    fs::path runtime;
    EventLoop loop;
    PosixWindowSystem windows{loop};
    RecordingSink sink{loop};
};

TEST_F(MailboxSocketTest, SecondInstanceSeesTheFirstAndDeliversToIt) {
    PosixSingleInstance first;
    ASSERT_FALSE(first.PrevInstance());
    Receive(4, [] {
        PosixSingleInstance second;
        EXPECT_TRUE(second.PrevInstance());
        EXPECT_TRUE(second.SendCopyData(1721, std::nullopt));
        EXPECT_TRUE(second.SendCopyData(1722, std::string("QQA=")));
        EXPECT_TRUE(second.SendCopyData(1724, std::string()));
        // The receiver reads the payload up to its first NUL, as from lpData.
        EXPECT_TRUE(second.SendCopyData(1723, std::string("abc\0def", 7)));
    });
    ASSERT_EQ(sink.received.size(), 4u);
    EXPECT_EQ(sink.received[0].kind, 1721u);
    EXPECT_FALSE(sink.received[0].payload.has_value());
    EXPECT_EQ(sink.received[1].payload, std::optional<std::string>("QQA="));
    EXPECT_EQ(sink.received[2].payload, std::optional<std::string>(""));
    EXPECT_EQ(sink.received[3].kind, 1723u);
    EXPECT_EQ(sink.received[3].payload, std::optional<std::string>("abc"));
}

TEST_F(MailboxSocketTest, NobodyListeningIsReportedAndLockIsReleasedOnExit) {
    {
        PosixSingleInstance first;
        EXPECT_FALSE(first.PrevInstance());
        EXPECT_FALSE(first.SendCopyData(1721, std::nullopt));
    }
    PosixSingleInstance again;
    EXPECT_FALSE(again.PrevInstance());
}

TEST_F(MailboxSocketTest, MalformedOrOversizedRequestsAreDroppedWithoutHarm) {
    Receive(1, [] {
        auto raw = [](const std::string& bytes) {
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            std::string path = MailboxSocketPath();
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            [[maybe_unused]] auto n = write(fd, bytes.data(), bytes.size());
            close(fd);
        };
        raw("XXXX garbage");
        raw(std::string("TVM1\xb9\x06\x00\x00\x01\xff\xff\xff\xff", 13));       // 4 GiB payload
        raw(std::string("TVM1\xb9\x06\x00\x00\x01\x10\x00\x00\x00short", 18));  // cut short
        // Then a good one, which is the only one that may arrive.
        PosixSingleInstance second;
        EXPECT_TRUE(second.SendCopyData(1721, std::string("QQA=")));
    });
    ASSERT_EQ(sink.received.size(), 1u);
    EXPECT_EQ(sink.received[0].payload, std::optional<std::string>("QQA="));
}

int Connect() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string path = MailboxSocketPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Whether the program still holds the other end of the connection open.
bool StillOpen(int fd) {
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Local clients that connect and then say nothing, or only half a request, or far more
// of them than the program reads at once: a real second start is still served at once,
// and nothing stays open afterwards.
TEST_F(MailboxSocketTest, StalledAndSurplusClientsHoldUpNobody) {
    const std::size_t before = OpenDescriptors();
    Receive(2, [] {
        std::vector<int> stalled;
        for (int i = 0; i < 20; ++i) stalled.push_back(Connect());
        const int half = Connect();
        ASSERT_EQ(write(half, "TVM1\xb9\x06", 6), 6);

        PosixSingleInstance second;
        EXPECT_TRUE(second.SendCopyData(1721, std::string("QQA=")));
        // Served while the stalled ones were still waiting, not after they were given up.
        for (int fd : stalled) EXPECT_TRUE(StillOpen(fd));
        EXPECT_TRUE(StillOpen(half));

        // A flood: the longest waiting are let go, the newest request is served.
        std::vector<int> flood;
        for (int i = 0; i < 60; ++i) flood.push_back(Connect());
        EXPECT_TRUE(second.SendCopyData(1724, std::string()));
        for (int fd : stalled) close(fd);
        close(half);
        for (int fd : flood) close(fd);
    });
    ASSERT_EQ(sink.received.size(), 2u);
    EXPECT_EQ(sink.received[0].payload, std::optional<std::string>("QQA="));
    EXPECT_EQ(sink.received[1].kind, 1724u);
    // The connections the clients closed are noticed and closed here too.
    for (int i = 0; i < 100 && OpenDescriptors() > before + 2; ++i) loop.DoEvents();
    EXPECT_LE(OpenDescriptors(), before + 2);  // the mailbox's listening socket and the loop's
}

TEST(MailboxRequestReaderTest, RequestsArriveInPiecesOfAnySize) {
    const std::string request = std::string("TVM1\xb9\x06\x00\x00\x01\x05\x00\x00\x00", 13) +
                                std::string("ab\0cd", 5) + "trailing";
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{13}, request.size()}) {
        SCOPED_TRACE(piece);
        MailboxRequestReader reader;
        for (std::size_t at = 0; at < request.size(); at += piece) {
            reader.Feed(request.data() + at, std::min(piece, request.size() - at));
        }
        ASSERT_EQ(reader.state(), MailboxRequestReader::State::Complete);
        const MailboxRequest r = reader.Take();
        EXPECT_EQ(r.kind, 1721u);
        EXPECT_EQ(r.payload, std::optional<std::string>("ab"));
    }
    MailboxRequestReader huge;
    EXPECT_EQ(huge.Feed("TVM1\xb9\x06\x00\x00\x01\xff\xff\xff\x0f", 13),
              MailboxRequestReader::State::Malformed);
}

}  // namespace
}  // namespace tovela::posix

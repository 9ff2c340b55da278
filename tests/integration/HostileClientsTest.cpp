// Local clients of the running program's mailbox socket that break its rules, all at once:
// the program ends each of them, a real second start is served while they hang on, and no
// descriptor is left behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The wire form of a request: magic, kind, payload flag, the byte count it claims, and
// then the bytes (see the socket's header).
std::string RequestHead(std::uint32_t kind, std::uint32_t claimed) {
    const auto littleEndian = [](std::uint32_t value) {
        std::string bytes;
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        return bytes;
    };
    return "TVM1" + littleEndian(kind) + '\1' + littleEndian(claimed);
}

int Connect(const fs::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A program that stopped accepting must not hang the test in connect().
    timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// True once the other end has closed the connection.
bool ClosedByProgram(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

std::size_t OpenDescriptors(pid_t pid) {
    std::error_code ec;
    std::size_t n = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

struct HostileClient {
    const char* name;
    int connections;
    std::string bytes;  // what each connection sends
    bool stopsSending;  // then shuts its sending side
    bool endedAtOnce;   // the program ends it without waiting for its idle limit
};

const HostileClient kClients[] = {
    {"header cut short", 1, RequestHead(1721, 20).substr(0, 7), true, true},
    {"payload cut short", 1, RequestHead(1721, 100) + "mailto:cut@example.test", true, true},
    {"payload claimed over the cap", 1, RequestHead(1721, 64u << 20) + "mailto:", false, true},
    {"payload claimed at the cap, then silence", 1, RequestHead(1721, 16u << 20) + "mailto:", false,
     false},
    {"not a request at all", 1, "GET / HTTP/1.0\r\n\r\n", false, true},
    {"connects and never writes", 1, "", false, false},
    {"a hundred at once, silent", 100, "", false, false},
};

TEST(HostileClientsTest, ProgramEndsThemAllAndStillServesASecondStart) {
    TestProfile profile("tovela-hostile");
    const fs::path output = profile.root / "desktop.jsonl";
    // A session, so that a mailto: link opens webmail; no poll during the test.
    FakeServer server(json{{"prefs", {{"tovelaPrefMailPollingInterval", "600"}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    profile.WriteSettings("TovelaHost=" + server.HostAndPort() +
                          "\nHTTPS=0\nUsername=demo\nPassword=text:demo\n");
    ProgramRun program({}, profile.env, output);
    ASSERT_TRUE(profile.MailboxOpen()) << profile.Trace();
    ASSERT_TRUE(server.WaitForRequests(2)) << profile.Trace();  // the probe and the login
    const fs::path socket = profile.root / "run" / "NotificadorTovela" / "mailbox.sock";
    // The descriptors settle once start-up is over.
    std::size_t baseline = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const std::size_t now = OpenDescriptors(program.Pid());
        return std::exchange(baseline, now) == now;
    }));

    std::vector<std::pair<const HostileClient*, std::vector<int>>> open;
    for (const HostileClient& client : kClients) {
        std::vector<int>& fds = open.emplace_back(&client, std::vector<int>{}).second;
        for (int i = 0; i < client.connections; ++i) {
            const int fd = Connect(socket);
            ASSERT_GE(fd, 0) << client.name << ": " << std::strerror(errno);
            fds.push_back(fd);
            if (!client.bytes.empty()) {
                ASSERT_EQ(send(fd, client.bytes.data(), client.bytes.size(), MSG_NOSIGNAL),
                          static_cast<ssize_t>(client.bytes.size()));
            }
            if (client.stopsSending) shutdown(fd, SHUT_WR);
        }
    }

    // A real second start while they all hang on: handled well within the idle limit (5 s)
    // that a silent client is allowed.
    {
        ProgramRun second({"mailto:hostile@example.test?subject=Still%20here"}, profile.env);
        EXPECT_EQ(second.WaitForExit(std::chrono::seconds(3)), std::optional<int>(0));
        EXPECT_TRUE(WaitForEvent(output, "shellOpen",
                                 [](const json& e) {
                                     return e.value("file", "").find("hostile") !=
                                            std::string::npos;
                                 })
                        .has_value())
            << ReadText(output) << profile.Trace();
    }

    for (const auto& [client, fds] : open) {
        SCOPED_TRACE(client->name);
        const auto limit = client->endedAtOnce ? std::chrono::seconds(2) : std::chrono::seconds(9);
        EXPECT_TRUE(WaitUntil(
            [&fds = fds] { return std::all_of(fds.begin(), fds.end(), ClosedByProgram); }, limit));
    }
    for (const auto& [client, fds] : open) {
        for (int fd : fds) close(fd);
    }
    EXPECT_TRUE(WaitUntil([&] { return OpenDescriptors(program.Pid()) == baseline; }))
        << OpenDescriptors(program.Pid()) << " descriptors open, " << baseline << " before";

    ASSERT_TRUE(program.Running());
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(), std::optional<int>(0));
}

}  // namespace
}  // namespace tovela::testing

#pragma once

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "integration/ProgramRun.h"

namespace tovela::testing {

// The real tovela-fake-server as a child process on a free loopback port, with its own
// folder for the scenario, the port file, the request log and its output. Ended (and the
// folder removed) by the destructor; it also ends on its own if the test process dies.
class FakeServer {
public:
    // `port` 0 takes a free one; a given port lets a test bring a server back where the
    // program looks for it.
    explicit FakeServer(const nlohmann::json& scenario = nlohmann::json::object(), int port = 0) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tovela-fake-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) return;
        dir_ = pattern;
        std::ofstream(dir_ / "scenario.json") << scenario.dump(2);
        Start(port);
        if (pid_ > 0) {
            WaitUntil([this] { return ReadPort() || !Running(); });
        }
    }
    ~FakeServer() {
        Stop();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    // True once the server listens; Output() tells why it did not.
    bool Started() const { return port_ > 0; }
    int Port() const { return port_; }
    std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::filesystem::path LogFile() const { return dir_ / "requests.log"; }
    std::string Output() const { return ReadText(dir_ / "output.txt"); }

    httplib::Result Post(const std::string& path, const std::string& body,
                         const std::string& contentType = "application/soap+xml; charset=utf-8",
                         const httplib::Headers& headers = {}) {
        return Client().Post(path, headers, body, contentType);
    }
    httplib::Result Options(const std::string& path) { return Client().Options(path); }

    // GET of an admin path when `body` is null, else POST of the body; null on failure.
    nlohmann::json Admin(const std::string& path, const nlohmann::json& body = nullptr) {
        httplib::Client client = Client();
        httplib::Result result =
            body.is_null() ? client.Get(path) : client.Post(path, body.dump(), "application/json");
        if (!result) return nullptr;
        return nlohmann::json::parse(result->body, nullptr, false);
    }
    nlohmann::json Requests() { return Admin("/admin/requests"); }
    // The upload service's kept files and requests, and its script.
    nlohmann::json Uploads() { return Admin("/admin/uploads"); }
    nlohmann::json ScriptUploads(const nlohmann::json& script) {
        return Admin("/admin/uploads/script", script);
    }
    // Files uploaded as the program does it, with the account's token; the ids the server
    // gave them, in order (none when it refused).
    std::vector<std::string> UploadFiles(
        const std::string& token, const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string boundary = "----TovelaNotifierPostBoundary";
        std::string body =
            "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"_charset_\"\r\n\r\nUTF-8\r\n";
        int n = 0;
        for (const auto& [name, bytes] : files) {
            ++n;
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"filename" +
                    std::to_string(n) + "\"\r\n\r\n" + name + "\r\n";
            body += "--" + boundary +
                    "\r\nContent-Disposition: form-data; name=\"_attFile_\"; filename=\"" + name +
                    "\"\r\n\r\n" + bytes + "\r\n";
        }
        body += "--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"requestId\"\r\n\r\n1\r\n--" + boundary +
                "--\r\n\r\n";
        const auto result =
            Client().Post("/service/upload?fmt=raw", {{"Cookie", "TV_AUTH_TOKEN=" + token}}, body,
                          "multipart/form-data; boundary=" + boundary);
        // 200,'null','id1,id2'
        std::vector<std::string> ids;
        if (!result || result->status != 200) return ids;
        const std::size_t open = result->body.rfind(",'");
        const std::size_t close = result->body.rfind('\'');
        if (open == std::string::npos || close <= open + 2) return ids;
        std::string list = result->body.substr(open + 2, close - open - 2);
        for (std::size_t at = 0; at <= list.size();) {
            const std::size_t comma = std::min(list.find(',', at), list.size());
            ids.push_back(list.substr(at, comma - at));
            at = comma + 1;
        }
        return ids;
    }

    // What the account was sent, oldest first, and a fault for a coming submission.
    nlohmann::json Sent() { return Admin("/admin/sent"); }
    nlohmann::json Drafts() { return Admin("/admin/drafts"); }
    nlohmann::json Documents() { return Admin("/admin/documents"); }
    nlohmann::json ScriptSubmissionFault(const nlohmann::json& fault) {
        return Admin("/admin/submission-fault", fault);
    }

    // Waits until the server has recorded at least `count` requests.
    bool WaitForRequests(std::size_t count) {
        return WaitUntil([&] {
            const nlohmann::json entries = Requests();
            return entries.is_array() && entries.size() >= count;
        });
    }

    // Asks the server to end with SIGTERM and returns its exit code; also reaps a server that
    // ended by itself. Kills it when it does not end in time.
    std::optional<int> Stop() {
        if (pid_ <= 0) return exitCode_;
        if (Running()) kill(pid_, SIGTERM);
        if (!WaitUntil([this] { return !Running(); }, std::chrono::seconds(10))) {
            kill(pid_, SIGKILL);
            WaitUntil([this] { return !Running(); });
        }
        pid_ = -1;
        return exitCode_;
    }

    // True while the child process has not ended; collects its exit code when it has.
    bool Running() {
        if (pid_ <= 0 || exitCode_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }

private:
    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(10, 0);
        return client;
    }

    void Start(int port) {
        const std::string exe = TOVELA_FAKE_SERVER_EXE;
        std::vector<std::string> args = {exe,
                                         "--port",
                                         std::to_string(port),
                                         "--port-file",
                                         (dir_ / "port").string(),
                                         "--scenario",
                                         (dir_ / "scenario.json").string(),
                                         "--log",
                                         LogFile().string()};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string output = (dir_ / "output.txt").string();
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) {
                dup2(fd, STDOUT_FILENO);
                dup2(fd, STDERR_FILENO);
                close(fd);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
    }

    bool ReadPort() {
        std::ifstream in(dir_ / "port");
        int port = 0;
        if (in >> port && port > 0) port_ = port;
        return port_ > 0;
    }

    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::optional<int> exitCode_;
};

// For tests that speak SOAP to the server themselves: the client's envelopes and small readers.
namespace soap {

inline constexpr const char* kSoap = "/service/soap";

// The two envelopes of the check cycle, as the client writes them.
inline std::string LoginEnvelope(const std::string& user, const std::string& escapedPassword) {
    return "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">\r\n<Header>\r\n"
           "  <context xmlns=\"urn:tovela\">\r\n    <session/>\r\n    <sessionId/>\r\n"
           "    <authToken></authToken>\r\n  </context>\r\n</Header>\r\n  <Body>\r\n"
           "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">\r\n"
           "    <AuthRequest xmlns=\"urn:tovelaAccount\">\r\n"
           "      <account by=\"name\">" +
           user + "</account>\r\n      <password>" + escapedPassword +
           "</password>\r\n      <prefs>\r\n"
           "        <pref name=\"tovelaPrefMailPollingInterval\" />\r\n"
           "        <pref name=\"tovelaPrefComposeFormat\" />\r\n      </prefs>\r\n"
           "      <attrs>\r\n        <attr name=\"tovelaFeatureBriefcasesEnabled\" />\r\n"
           "      </attrs>\r\n    </AuthRequest>\r\n"
           "    <GetSignaturesRequest xmlns=\"urn:tovelaAccount\" />\r\n"
           "    <GetInfoRequest xmlns=\"urn:tovelaAccount\" sections=\"props\" />\r\n"
           "  </BatchRequest>\r\n  </Body>\r\n</Envelope>";
}

inline std::string SessionEnvelope(const std::string& token, bool versionSix,
                                   const std::string& start = "1", const std::string& end = "2") {
    const std::string tag = versionSix ? "session" : "sessionId";
    const std::string query =
        versionSix ? "    <SearchRequest xmlns=\"urn:tovelaMail\" types=\"appointment\" "
                     "sortBy=\"dateAsc\" calExpandInstStart=\"" +
                         start + "\" calExpandInstEnd=\"" + end +
                         "\" >\r\n"
                         "  <query>appt-start: &lt;+7day AND (is:local OR is:remote)</query>\r\n"
                         "  </SearchRequest>\r\n"
                   : "    <GetApptSummariesRequest xmlns=\"urn:tovelaMail\" s=\"" + start +
                         "\" e=\"" + end + "\" id=\"0\"/>\r\n";
    return "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">\r\n<Header>\r\n"
           "  <context xmlns=\"urn:tovela\">\r\n    <authToken>" +
           token + "</authToken>\r\n    <" + tag + " id=\"\"></" + tag +
           ">\r\n    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>\r\n"
           "    <change token=\"\"/>\r\n  </context>\r\n</Header>\r\n<Body>\r\n"
           "  <BatchRequest xmlns=\"urn:tovela\" onerror=\"continue\">\r\n" +
           query + "  </BatchRequest>\r\n</Body>\r\n</Envelope>";
}

// A session envelope carrying `operations` in its body, with the client's context header.
inline std::string SubmissionEnvelope(const std::string& token, const std::string& operations) {
    return "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\">\r\n<Header>\r\n"
           "  <context xmlns=\"urn:tovela\">\r\n    <authToken>" +
           token +
           "</authToken>\r\n    <session id=\"\"></session>\r\n"
           "    <userAgent name=\"Tovela Notifier\" version=\"6.1.0\"/>\r\n"
           "    <change token=\"\"/>\r\n  </context>\r\n</Header>\r\n<Body>\r\n" +
           operations + "</Body>\r\n</Envelope>";
}

inline std::string Between(const std::string& text, const std::string& from,
                           const std::string& to) {
    const std::size_t start = text.find(from);
    if (start == std::string::npos) return {};
    const std::size_t end = text.find(to, start + from.size());
    return end == std::string::npos ? ""
                                    : text.substr(start + from.size(), end - start - from.size());
}

inline std::string Contents(const httplib::Result& result) {
    return result ? std::to_string(result->status) + " " + result->body : "no answer";
}

struct Login {
    std::string token;
    std::string session;
};

inline Login LogIn(FakeServer& server, const std::string& password = "demo") {
    const auto result = server.Post(kSoap, LoginEnvelope("demo", password));
    if (!result) return {};
    return {Between(result->body, "<authToken>", "</authToken>"),
            Between(result->body, "<session id=\"", "\"")};
}

}  // namespace soap

}  // namespace tovela::testing

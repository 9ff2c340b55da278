#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tovela::testing {

// Polls `condition` until it holds or `limit` passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One run of the real program with its own environment.
class ProgramRun {
public:
#ifdef TOVELA_NOTIFIER_EXE
    // `output`, when given, receives the program's standard output (its desktop events).
    ProgramRun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               const std::filesystem::path& output = {})
        : ProgramRun(TOVELA_NOTIFIER_EXE, args, env, output) {}
#endif
    // Any program, found on PATH when `program` has no slash; output and error output go to
    // the files given (appended), or nowhere.
    ProgramRun(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::filesystem::path& output,
               const std::filesystem::path& errorOutput = {}) {
        std::vector<std::string> argStrings{program};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            auto eq = entry.find('=');
            if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (const auto& [k, v] : env) merged[k] = v;
        std::vector<std::string> envStrings;
        for (const auto& [k, v] : merged) envStrings.push_back(k + "=" + v);

        std::vector<char*> argv, envp;
        for (auto& s : argStrings) argv.push_back(s.data());
        argv.push_back(nullptr);
        for (auto& s : envStrings) envp.push_back(s.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Standard input is a pipe the test writes the user's actions into.
        int input[2] = {-1, -1};
        if (pipe2(input, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, input[0], 0);
            input_ = input[1];
        }
        const std::string outputPath = output.empty() ? std::string("/dev/null") : output.string();
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (!errorOutput.empty()) {
            posix_spawn_file_actions_addopen(&actions, 2, errorOutput.c_str(),
                                             O_WRONLY | O_CREAT | O_APPEND, 0600);
        }
        if (posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) !=
            0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (input[0] >= 0) close(input[0]);
    }
    ~ProgramRun() {
        if (input_ >= 0) close(input_);
        if (pid_ > 0 && !exitStatus_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const {
        return pid_ > 0;
    }
    pid_t Pid() const {
        return pid_;
    }
    // True while the process has not ended (it is reaped when it has).
    bool Running() {
        return pid_ > 0 && !WaitForExit(std::chrono::milliseconds(0));
    }
    void Signal(int sig) {
        kill(pid_, sig);
    }
    // One line of what the user does (see docs/DESKTOP-EVENTS.md).
    bool Input(const std::string& json) {
        const std::string line = json + "\n";
        return input_ >= 0 &&
               write(input_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }

    // The exit code once the process has ended within `limit`; nothing while it still runs.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
        WaitUntil(
            [this] {
                if (exitStatus_) return true;
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) == pid_) {
                    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return exitStatus_.has_value();
            },
            limit);
        return exitStatus_;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> exitStatus_;
};

// A scratch user profile: its own config and runtime folders, tracing switched on.
class TestProfile {
public:
    explicit TestProfile(const std::string& name) {
        root = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "config" / "NotificadorTovela");
        std::filesystem::create_directories(root / "run");
        std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
        env = {{"HOME", root.string()},
               {"XDG_CONFIG_HOME", (root / "config").string()},
               {"XDG_RUNTIME_DIR", (root / "run").string()},
               {"TZ", "Asia/Tokyo"},
               // Addresses the program opens stay events: no browser is started.
               {"DISPLAY", ""},
               {"WAYLAND_DISPLAY", ""}};
        std::ofstream(TraceFile()).close();
    }
    ~TestProfile() { std::filesystem::remove_all(root); }
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;

    std::filesystem::path TraceFile() const {
        return root / "config" / "NotificadorTovela" / "debug.log";
    }
    std::filesystem::path SettingsFile() const {
        return root / "config" / "NotificadorTovela" / "Settings.ini";
    }
    std::string Trace() const { return ReadText(TraceFile()); }
    bool TraceHas(const std::string& line) const {
        return WaitUntil([&] { return Trace().find(line + "\n") != std::string::npos; });
    }
    bool MailboxOpen() const {
        return WaitUntil([&] {
            return std::filesystem::exists(root / "run" / "NotificadorTovela" / "mailbox.sock");
        });
    }
    void WriteSettings(const std::string& lines) const {
        std::ofstream(SettingsFile()) << "[Settings]\n" << lines;
    }

    std::filesystem::path root;
    std::map<std::string, std::string> env;
};

}  // namespace tovela::testing

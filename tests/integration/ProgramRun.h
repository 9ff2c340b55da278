#pragma once

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
    ProgramRun(const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env) {
        std::vector<std::string> argStrings{TOVELA_NOTIFIER_EXE};
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
        if (posix_spawn(&pid_, TOVELA_NOTIFIER_EXE, nullptr, nullptr, argv.data(), envp.data()) !=
            0) {
            pid_ = -1;
        }
    }
    ~ProgramRun() {
        if (pid_ > 0 && !exitStatus_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int sig) { kill(pid_, sig); }

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
    std::optional<int> exitStatus_;
};

}  // namespace tovela::testing

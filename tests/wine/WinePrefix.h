#pragma once

// A Wine prefix of a test's own, copied from the fresh one the test script made, and the
// ways the tests look into it: its registry through "wine reg", shortcuts through the link
// probe, files through the Linux side.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "integration/ProgramRun.h"

namespace tovela::testing {

class WinePrefix {
public:
    // Copies $WINEPREFIX (in which nothing runs) into `folder`; the system files are shared
    // as hard links, the registry files are copied since Wine rewrites them.
    explicit WinePrefix(const std::filesystem::path& folder) : path_(folder / "prefix") {
        namespace fs = std::filesystem;
        const char* source = std::getenv("WINEPREFIX");
        if (!source || !*source) return;
        fs::remove_all(folder);
        fs::create_directories(folder);
        log_ = folder / "wine.log";
        if (ProgramRun("cp", {"-al", source, path_.string()}, {}, {}, log_)
                .WaitForExit(std::chrono::seconds(120)) != 0) {
            return;
        }
        for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
            fs::remove(path_ / hive);
            fs::copy_file(fs::path(source) / hive, path_ / hive);
        }
        for (const auto& user : fs::directory_iterator(path_ / "drive_c" / "users")) {
            if (user.path().filename() != "Public") profile_ = user.path();
        }
        ready_ = !profile_.empty();
    }
    ~WinePrefix() {
        if (ready_) Run("wineserver", {"-k"}, std::chrono::seconds(30));
    }
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    bool Ready() const { return ready_; }
    const std::filesystem::path& Path() const { return path_; }
    // The user's profile folder, as the Linux side sees it.
    const std::filesystem::path& Profile() const { return profile_; }
    std::string UserName() const { return profile_.filename().string(); }
    std::filesystem::path SendTo() const {
        return profile_ / "AppData" / "Roaming" / "Microsoft" / "Windows" / "SendTo";
    }
    std::filesystem::path TraceFile() const {
        return profile_ / "AppData" / "Roaming" / "NotificadorTovela" / "debug.log";
    }
    // An empty trace file switches tracing on.
    void TraceOn() const {
        std::filesystem::create_directories(TraceFile().parent_path());
        std::ofstream(TraceFile()).close();
    }
    std::string Trace() const {
        std::string text = ReadText(TraceFile());
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }
    bool TraceHas(const std::string& line,
                  std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
        return WaitUntil([&] { return Trace().find(line + "\n") != std::string::npos; }, limit);
    }

    // Runs the prefix's later Wine processes in this locale (e.g. "ja_JP", "UTF-8"), from
    // which Wine takes the ANSI code page. Debian installs only the C locales, so it is
    // compiled into the test's folder.
    bool UseLocale(const std::string& locale, const std::string& charset) {
        const std::filesystem::path folder = path_.parent_path() / "locale";
        const std::string name = locale + "." + charset;
        std::filesystem::create_directories(folder);
        if (ProgramRun("localedef", {"-i", locale, "-f", charset, (folder / name).string()}, {}, {},
                       log_)
                .WaitForExit(std::chrono::seconds(60)) != 0) {
            return false;
        }
        locale_ = {{"LOCPATH", folder.string()}, {"LANG", name}, {"LC_ALL", name}};
        return true;
    }

    std::map<std::string, std::string> Env() const {
        std::map<std::string, std::string> env = locale_;
        env.merge(EnglishEnv());
        return env;
    }
    // Starts a Wine program and leaves it running.
    std::unique_ptr<ProgramRun> Start(const std::vector<std::string>& args,
                                      const std::filesystem::path& output = {}) const {
        return std::make_unique<ProgramRun>("wine", args, Env(), output, log_);
    }
    // Runs a program (wine, wineserver) in the prefix to its end; its exit code, or -1 when it
    // did not end in time.
    int Run(const std::string& program, const std::vector<std::string>& args,
            std::chrono::seconds limit = std::chrono::seconds(60),
            const std::filesystem::path& output = {}) const {
        ProgramRun run(program, args, Env(), output, log_);
        return run.WaitForExit(limit).value_or(-1);
    }
    int Wine(const std::vector<std::string>& args,
             std::chrono::seconds limit = std::chrono::seconds(60)) const {
        return Run("wine", args, limit);
    }

    // "wine reg query" of one value: its type and data as reg prints them ("REG_SZ\tdata"),
    // or nothing when the key or value is missing. "wine reg" is the 32-bit reg.exe, which
    // reads HKLM\Software as 32-bit programs see it; `options` {"/reg:64"} reads it as
    // 64-bit programs do.
    std::optional<std::string> RegValue(const std::string& key, const std::string& name,
                                        const std::vector<std::string>& options = {}) const {
        const std::filesystem::path out = path_.parent_path() / "reg.txt";
        std::filesystem::remove(out);
        std::vector<std::string> args{"reg", "query", key};
        args.insert(args.end(), options.begin(), options.end());
        if (name.empty()) {
            args.push_back("/ve");
        } else {
            args.insert(args.end(), {"/v", name});
        }
        // In English, whatever the prefix's locale: the labels below are reg's.
        if (ProgramRun("wine", args, EnglishEnv(), out, log_)
                .WaitForExit(std::chrono::seconds(60))
                .value_or(-1) != 0) {
            return std::nullopt;
        }
        std::string text = ReadText(out);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        // "    name    REG_SZ    data"
        const std::string label = name.empty() ? "(Default)" : name;
        const auto at = text.find("    " + label + "    REG_");
        if (at == std::string::npos) return std::nullopt;
        const auto start = at + 4 + label.size() + 4;
        std::string line = text.substr(start, text.find('\n', start) - start);
        const auto gap = line.find("    ");
        return gap == std::string::npos ? line : line.substr(0, gap) + "\t" + line.substr(gap + 4);
    }
    bool KeyExists(const std::string& key, const std::vector<std::string>& options = {}) const {
        std::vector<std::string> args{"reg", "query", key};
        args.insert(args.end(), options.begin(), options.end());
        return Wine(args) == 0;
    }

    // The shortcuts of a folder (a Windows path) as the shell reads them, by file name:
    // target, arguments, working folder, description and show command, separated by tabs.
    std::map<std::string, std::string> Shortcuts(const std::string& probe,
                                                 const std::string& windowsFolder) const {
        const std::filesystem::path out = path_.parent_path() / "links.txt";
        std::filesystem::remove(out);
        std::map<std::string, std::string> links;
        if (Run("wine", {probe, windowsFolder}, std::chrono::seconds(60), out) != 0) return links;
        std::string text = ReadText(out);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos) links[line.substr(0, tab)] = line.substr(tab + 1);
        }
        return links;
    }
    // A profile folder as the program sees it: "C:\users\<name>\" + `relative`.
    std::string WindowsProfilePath(const std::string& relative) const {
        return "C:\\users\\" + UserName() + "\\" + relative;
    }

private:
    std::map<std::string, std::string> EnglishEnv() const {
        return {{"WINEPREFIX", path_.string()}, {"WINEDEBUG", "-all"}};
    }

    std::filesystem::path path_;
    std::filesystem::path log_;
    std::filesystem::path profile_;
    std::map<std::string, std::string> locale_;
    bool ready_ = false;
};

}  // namespace tovela::testing

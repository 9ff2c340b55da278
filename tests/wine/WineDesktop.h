// A Wine prefix with a virtual desktop, driven and watched from outside: Wine commands run
// to their end, the probe (tovela-wine-probe.exe) run inside the desktop, the windows it
// lists, and the shell's trace of the notification area.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "integration/ProgramRun.h"

namespace tovela::testing::wine {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// A window as the probe lists it; children follow their top-level window.
struct Window {
    std::string handle;
    std::string className;
    bool visible = false;
    int width = 0;
    int height = 0;
    std::string title;
    int id = 0;  // a child's control id, from `probe dialog`
    std::vector<Window> children;
};

// REG_MULTI_SZ of one string in REGEDIT4's notation.
inline std::string MultiString(const std::string& text) {
    std::ostringstream hex;
    hex << "hex(7):";
    for (unsigned char c : text) hex << std::hex << static_cast<int>(c) << ",";
    hex << "00,00";
    return hex.str();
}

// A REGEDIT4 string value; backslashes and quotes escaped.
inline std::string RegString(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The registry every run needs: the desktop every process of the prefix shows on (so that
// second starts find the first one) and a Japanese font linked to the dialog fonts.
inline std::string DesktopRegistry() {
    return "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"
           "\"Desktop\"=\"tovela\"\n\n"
           "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"
           "\"tovela\"=\"800x600\"\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\"
           "SystemLink]\n"
           "\"Tahoma\"=" +
           MultiString("ipag.ttf,IPAGothic") +
           "\n\"MS Shell Dlg\"=" + MultiString("ipag.ttf,IPAGothic") + "\n\n";
}

class WineDesktop {
public:
    // `log` receives Wine's own output, the shell's systray trace among it.
    WineDesktop(fs::path build, fs::path log) : build_(std::move(build)), log_(std::move(log)) {}

    fs::path Exe() const { return build_ / "src" / "TovelaNotifier.exe"; }
    const fs::path& Log() const { return log_; }
    // Every Wine process traces the shell's notification area into the log.
    std::map<std::string, std::string> Environment() const {
        return {{"WINEDEBUG", "-all,+systray"}};
    }

    // Runs a Wine command to its end; its exit code, or -1 when it did not end in time.
    int Run(const std::vector<std::string>& args, const fs::path& output = {},
            std::chrono::seconds limit = 60s) const {
        ProgramRun run("wine", args, Environment(), output, log_);
        return run.WaitForExit(limit).value_or(-1);
    }

    // Imports a REGEDIT4 text and waits until every process of the prefix has ended, so
    // the desktop starts anew with it.
    bool Import(const std::string& text, const fs::path& file) const {
        std::ofstream(file) << "REGEDIT4\n\n" << text;
        return Run({"regedit", "/S", "Z:" + file.string()}) == 0 &&
               ProgramRun("wineserver", {"-w"}, {}, {}).WaitForExit(60s) == 0;
    }

    // The probe's exit code; what it printed in `output` (without carriage returns).
    int Probe(const std::vector<std::string>& args, std::string* output = nullptr,
              std::chrono::seconds limit = 60s) const {
        const fs::path file = log_.parent_path() / "probe.txt";
        fs::remove(file);
        std::vector<std::string> command{(build_ / "tests" / "tovela-wine-probe.exe").string()};
        command.insert(command.end(), args.begin(), args.end());
        const int code = Run(command, file, limit);
        if (output) *output = WithoutCarriageReturns(ReadText(file));
        return code;
    }

    // The probe's listing of windows, parsed; `probe dialog` prints the same form with
    // the control id first in a child's line.
    static std::vector<Window> ParseWindows(const std::string& listing, bool dialog = false) {
        std::vector<Window> windows;
        std::istringstream lines(listing);
        std::string line;
        while (std::getline(lines, line)) {
            const bool child = line.rfind("  ", 0) == 0;
            std::vector<std::string> fields;
            std::istringstream parts(child ? line.substr(2) : line);
            std::string field;
            while (std::getline(parts, field, '\t')) fields.push_back(field);
            Window window;
            if (child && dialog) {
                if (fields.size() < 3) continue;
                window.id = std::atoi(fields[0].c_str());
                window.className = fields[1];
                window.visible = fields[2] == "1";
                if (fields.size() > 3) window.title = fields[3];
            } else {
                if (fields.size() < 5) continue;
                window.handle = fields[0];
                window.className = fields[1];
                window.visible = fields[2] == "1";
                std::sscanf(fields[4].c_str(), "%*d,%*d,%d,%d", &window.width, &window.height);
                if (fields.size() > 5) window.title = fields[5];
            }
            if (child && !windows.empty()) {
                windows.back().children.push_back(window);
            } else if (!child) {
                windows.push_back(window);
            }
        }
        return windows;
    }

    std::vector<Window> Windows(bool children = false) const {
        std::string listing;
        std::vector<std::string> args{"windows"};
        if (children) args.push_back("--children");
        if (Probe(args, &listing) != 0) return {};
        return ParseWindows(listing);
    }

    // The first top-level window of the class (and title, unless empty), visible or not.
    std::optional<Window> Find(const std::string& className, const std::string& title = {},
                               bool children = false) const {
        for (const Window& w : Windows(children)) {
            if (w.className == className && (title.empty() || w.title == title)) return w;
        }
        return std::nullopt;
    }
    bool Showing(const std::string& className, const std::string& title = {}) const {
        const auto w = Find(className, title);
        return w && w->visible;
    }

    // The icons the shell added or hid ("add_icon", "hide_icon") as id/window, from the
    // trace written after `from` bytes of the log.
    std::vector<std::pair<std::string, std::string>> ShellIcons(const std::string& action,
                                                                std::size_t from = 0) const {
        const std::regex line("trace:systray:" + action +
                              " id=(0x[0-9a-f]+), hwnd=([0-9A-Fa-fx]+)");
        std::vector<std::pair<std::string, std::string>> icons;
        const std::string log = LogFrom(from);
        for (auto it = std::sregex_iterator(log.begin(), log.end(), line);
             it != std::sregex_iterator(); ++it) {
            icons.emplace_back((*it)[1].str(), (*it)[2].str());
        }
        return icons;
    }
    std::set<std::pair<std::string, std::string>> ShellIconSet(const std::string& action,
                                                               std::size_t from = 0) const {
        const auto icons = ShellIcons(action, from);
        return {icons.begin(), icons.end()};
    }
    // Requests of this kind the program made of the shell (0 add, 1 modify, 2 delete).
    std::size_t ProgramRequests(int message, std::size_t from = 0) const {
        const std::string log = LogFrom(from);
        const std::string needle = "Shell_NotifyIconW dwMessage = " + std::to_string(message) + ",";
        std::size_t count = 0;
        for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
            ++count;
        return count;
    }
    std::size_t LogSize() const { return ReadText(log_).size(); }
    std::string LogFrom(std::size_t from) const {
        const std::string log = ReadText(log_);
        return from < log.size() ? log.substr(from) : std::string();
    }

private:
    fs::path build_;
    fs::path log_;
};

}  // namespace tovela::testing::wine

#include "platform/posix/IniSettingsStore.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tovela::posix {
namespace {

std::string Escape(std::string_view value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string Unescape(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            char next = value[++i];
            out.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0700);
    }
    mkdir(path.c_str(), 0700);
}

}  // namespace

std::string IniSettingsStore::DefaultConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : "/tmp";
    }
    return std::string(home) + "/.config";
}

IniSettingsStore::Entries IniSettingsStore::Parse(std::string_view content,
                                                  std::string_view section) {
    Entries entries;
    bool inSection = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            inSection = line == "[" + std::string(section) + "]";
            continue;
        }
        std::size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        std::string key(line.substr(0, equals));
        std::string value = Unescape(line.substr(equals + 1));
        bool replaced = false;
        for (auto& entry : entries) {
            if (entry.first == key) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced) entries.emplace_back(std::move(key), std::move(value));
    }
    return entries;
}

std::string IniSettingsStore::Format(const Entries& entries, std::string_view section) {
    std::string out = "[" + std::string(section) + "]\n";
    for (const auto& [key, value] : entries) out += key + "=" + Escape(value) + "\n";
    return out;
}

std::string IniSettingsStore::FilePath(std::string_view app, std::string_view section) const {
    return folder_ + "/" + std::string(app) + "/" + std::string(section) + ".ini";
}

std::optional<std::string> IniSettingsStore::GetSetting(std::string_view app,
                                                        std::string_view section,
                                                        std::string_view key) {
    for (const auto& [name, value] : Parse(ReadFile(FilePath(app, section)), section)) {
        if (name == key) return value;
    }
    return std::nullopt;
}

void IniSettingsStore::SaveSetting(std::string_view app, std::string_view section,
                                   std::string_view key, std::string_view value) {
    const std::string path = FilePath(app, section);
    Entries entries = Parse(ReadFile(path), section);
    bool found = false;
    for (auto& entry : entries) {
        if (entry.first == key) {
            entry.second = value;
            found = true;
        }
    }
    if (!found) entries.emplace_back(std::string(key), std::string(value));

    MakeFolders(folder_ + "/" + std::string(app));
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << Format(entries, section);
        if (!out.flush()) return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

}  // namespace tovela::posix

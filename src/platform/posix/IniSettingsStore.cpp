#include "platform/posix/IniSettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unordered_map>

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
    std::unordered_map<std::string, std::size_t> positions;
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
        // A key given twice keeps its first place and its last value.
        const auto [at, added] = positions.try_emplace(key, entries.size());
        if (added) {
            entries.emplace_back(std::move(key), std::move(value));
        } else {
            entries[at->second].second = std::move(value);
        }
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

IniSettingsStore::Identity IniSettingsStore::IdentityOf(const std::string& path) {
    struct stat st = {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::make_tuple(st.st_dev, st.st_ino, st.st_size,
                           static_cast<std::int64_t>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
}

IniSettingsStore::File& IniSettingsStore::Load(const std::string& path, std::string_view section) {
    File& file = files_[path];
    const Identity identity = IdentityOf(path);
    if (identity && file.identity == identity) return file;
    file.entries = Parse(ReadFile(path), section);
    file.index.clear();
    for (std::size_t i = 0; i < file.entries.size(); ++i) file.index[file.entries[i].first] = i;
    file.identity = identity;
    return file;
}

std::optional<std::string> IniSettingsStore::GetSetting(std::string_view app,
                                                        std::string_view section,
                                                        std::string_view key) {
    const File& file = Load(FilePath(app, section), section);
    const auto at = file.index.find(std::string(key));
    if (at == file.index.end()) return std::nullopt;
    return file.entries[at->second].second;
}

void IniSettingsStore::SaveSetting(std::string_view app, std::string_view section,
                                   std::string_view key, std::string_view value) {
    const std::string path = FilePath(app, section);
    File& file = Load(path, section);
    Entries entries = file.entries;
    const auto at = file.index.find(std::string(key));
    if (at != file.index.end()) {
        entries[at->second].second = value;
    } else {
        entries.emplace_back(std::string(key), std::string(value));
    }

    MakeFolders(folder_ + "/" + std::string(app));
    const std::string temporary = path + ".tmp";
    // The file holds the password in a reversible form: only its owner may read it,
    // whatever the umask, and also when an older copy was readable by others.
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::string content = Format(entries, section);
    bool written = fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; written && done < content.size();) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        return;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return;
    // What was written is what the next read would find.
    if (at == file.index.end()) file.index[std::string(key)] = entries.size() - 1;
    file.entries = std::move(entries);
    file.identity = IdentityOf(path);
}

}  // namespace tovela::posix

#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tovela::posix {
namespace {

class FdReader final : public FileReader {
public:
    explicit FdReader(int fd) : fd_(fd) {}
    ~FdReader() override { close(fd_); }
    FdReader(const FdReader&) = delete;
    FdReader& operator=(const FdReader&) = delete;

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        for (;;) {
            const ssize_t n = read(fd_, buffer.data(), buffer.size());
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) return std::nullopt;
        }
    }

private:
    int fd_;
};

class FdWriter final : public FileWriter {
public:
    explicit FdWriter(int fd) : fd_(fd) {}
    ~FdWriter() override { Close(); }
    FdWriter(const FdWriter&) = delete;
    FdWriter& operator=(const FdWriter&) = delete;

    bool Write(std::string_view bytes) override {
        while (!bytes.empty() && fd_ >= 0) {
            const ssize_t n = write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed_ = true;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return fd_ >= 0;
    }
    bool Close() override {
        if (fd_ < 0) return !failed_;
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        failed_ = failed_ || !closed;
        return !failed_;
    }

private:
    int fd_;
    bool failed_ = false;
};

FileInfo InfoOf(const std::string& name, const struct stat& st, bool link) {
    FileInfo info;
    info.folder = S_ISDIR(st.st_mode);
    info.link = link && info.folder;
    info.hidden = !name.empty() && name[0] == '.';
    info.readOnly = (st.st_mode & S_IWUSR) == 0;
    info.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    tm local = {};
    const time_t modified = st.st_mtime;
    if (localtime_r(&modified, &local)) {
        info.modified = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     local.tm_sec};
    }
    return info;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == path.npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<FileInfo> PosixFileSystem::QueryAttributes(const std::string& path) {
    struct stat st = {};
    struct stat own = {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
    const bool link = lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    return InfoOf(BaseName(path), st, link);
}

std::optional<std::vector<FolderEntry>> PosixFileSystem::ListFolder(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::vector<FolderEntry> entries;
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = prefix + name;
        struct stat st = {};
        struct stat own = {};
        const bool link = lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        // A link to nothing is listed as the file it claims to be; reading it then fails
        // loudly instead of the entry going missing.
        if (stat(path.c_str(), &st) != 0) st = own;
        entries.push_back({name, InfoOf(name, st, link)});
    }
    const bool complete = errno == 0;
    closedir(dir);
    if (!complete) return std::nullopt;
    return entries;
}

std::unique_ptr<FileReader> PosixFileSystem::OpenForReading(const std::string& path) {
    // Not blocking on a pipe; only regular files are read.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, 0);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<FdReader>(fd);
}

std::unique_ptr<FileWriter> PosixFileSystem::CreateForWriting(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    return std::make_unique<FdWriter>(fd);
}

bool PosixFileSystem::RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool PosixFileSystem::CreateFolder(const std::string& path) {
    struct stat st = {};
    return mkdir(path.c_str(), 0700) == 0 || (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

bool PosixFileSystem::RemoveFolder(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}

std::string PosixFileSystem::TempFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string PosixFileSystem::ShortcutTarget(const std::string&) {
    return {};
}

std::string PosixUserEnvironment::DecimalSeparator() {
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return ".";
    std::string separator = nl_langinfo_l(RADIXCHAR, locale);
    freelocale(locale);
    return separator.empty() ? "." : separator;
}

bool PosixUserEnvironment::IsKeyDown(int) {
    return false;
}

}  // namespace tovela::posix

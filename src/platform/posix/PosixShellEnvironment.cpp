#include "platform/posix/PosixShellEnvironment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tovela::posix {

std::string PosixShellEnvironment::SendToFolder() {
    for (std::size_t slash = sendToFolder_.find('/', 1);;
         slash = sendToFolder_.find('/', slash + 1)) {
        mkdir(sendToFolder_.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
    return IsFolder(sendToFolder_) ? sendToFolder_ : std::string();
}

std::vector<std::string> PosixShellEnvironment::Environment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) entries.emplace_back(*entry);
    return entries;
}

bool PosixShellEnvironment::IsFolder(const std::string& path) {
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixShellEnvironment::FileExists(const std::string& path) {
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::uint32_t PosixShellEnvironment::RemoveFile(const std::string& path) {
    if (unlink(path.c_str()) == 0) return 0;
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return 2;  // ERROR_FILE_NOT_FOUND
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return 5;  // ERROR_ACCESS_DENIED
        default:
            return 31;  // ERROR_GEN_FAILURE
    }
}

}  // namespace tovela::posix

#include "submit/PathNames.h"

namespace tovela {
namespace {

constexpr std::string_view kAllFiles = "*.*";

// The separator a path already uses: a slash for a path that has slashes and no
// backslash, else a backslash.
char SeparatorOf(std::string_view path) {
    return path.find('/') != path.npos && path.find('\\') == path.npos ? '/' : '\\';
}

}  // namespace

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string FileNameFromPath(std::string_view path) {
    if (path.size() < 2) return std::string(path);
    for (std::size_t i = path.size() - 1; i-- > 0;) {
        if (IsPathSeparator(path[i])) return std::string(path.substr(i + 1));
    }
    return std::string(path);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !IsPathSeparator(path.back())) path += SeparatorOf(folder);
    return path.append(name);
}

std::string FolderItem(std::string_view folder) {
    return JoinPath(folder, kAllFiles);
}

bool IsFolderItem(std::string_view item) {
    return item.size() > kAllFiles.size() && item.ends_with(kAllFiles) &&
           IsPathSeparator(item[item.size() - kAllFiles.size() - 1]);
}

std::string_view FolderOfItem(std::string_view item) {
    return IsFolderItem(item) ? item.substr(0, item.size() - kAllFiles.size() - 1) : item;
}

}  // namespace tovela

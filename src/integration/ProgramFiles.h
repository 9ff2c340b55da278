#pragma once

#include <string>

namespace tovela {

// The program file the registration and the shortcuts point at: a fixed name, whatever the
// running file is called.
inline constexpr const char* kProgramFileName = "TovelaNotifier.exe";

// `folder` with one trailing separator: a backslash, or a slash for a POSIX path.
inline std::string WithTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
    return folder + (folder.front() == '/' ? "/" : "\\");
}

// `folder` without its trailing separator, as a link's working directory is given.
inline std::string WithoutTrailingSeparator(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tovela {

// The codes of the classic zip command, which the upload turns into its messages.
namespace zipcode {
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kReadError = 11;     // "Reading Or Seeking a File"
inline constexpr std::int32_t kNothingToDo = 12;   // "Nothing To Do"
inline constexpr std::int32_t kWriteError = 14;    // "Writing to a File"
inline constexpr std::int32_t kCreateError = 15;   // "Couldn't Open a File to Write"
inline constexpr std::int32_t kBadArgument = 16;   // "Bad Command Line Argument"
inline constexpr std::int32_t kOpenError = 18;     // "Couldn't Open a File to Read"
inline constexpr std::int32_t kInternalError = 5;  // "Internal Logic"
}  // namespace zipcode

// Packs the items into a new archive at `zipPath` and returns 0, or the zip command's code
// for what went wrong. An item is a file, stored without its folder, or a folder item
// (FolderItem: the folder and "\*.*"), stored with everything inside it, hidden and system
// files and empty folders included, under the folder's own name. Items keep their order,
// grouped by the folder they are in. Nothing is ever left out silently: a file that cannot
// be read fails the whole archive, and a failed archive is removed.
std::int32_t ZipFiles(FileSystem& files, const std::vector<std::string>& items,
                      const std::string& zipPath);

}  // namespace tovela

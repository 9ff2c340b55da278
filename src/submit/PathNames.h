#pragma once

#include <string>
#include <string_view>

// Paths as the user's files have them: Windows paths with backslashes in the Windows build,
// Linux paths with slashes in the Linux one. Both separators are read as such, so the same
// rules hold in both builds (a Windows name cannot hold a slash).
namespace tovela {

bool IsPathSeparator(char c);

// The text after the last separator, leaving the final character out of the search (a path
// ending in a separator keeps its last folder name and that separator); a path without a
// separator comes back whole.
std::string FileNameFromPath(std::string_view path);

// The folder and a name in it, with the folder's own kind of separator between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// Uploads and packing mark a folder, whose whole contents are meant, with "\*.*" after it.
std::string FolderItem(std::string_view folder);
bool IsFolderItem(std::string_view item);
// The folder of a folder item (the item without its separator and "*.*").
std::string_view FolderOfItem(std::string_view item);

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text rules of an upload: lists of files, answer headers and the size shown to the user.
namespace tovela {

// Items separated by single blanks, an item with blanks enclosed in double quotes (the
// quotes are dropped). Two blanks in a row give an empty item; an empty text no items.
std::vector<std::string> SplitCommandLine(std::string_view text);

// The value of the first header line of that name (any letter case) in a raw header block,
// blanks trimmed; empty when there is none. Only whole names at the start of a line count,
// so "Content-Location" is not "Location".
std::string GetHeaderValue(std::string_view rawHeaders, std::string_view name);

// "1023 B", "1.5 KB", "2 KB", "1 MB": below 1024 bytes in bytes, below 1 MiB in KiB, else in
// MiB, rounded to one decimal (half to even) and written with the given decimal separator.
std::string SizeText(std::uint64_t bytes, std::string_view decimalSeparator);

}  // namespace tovela

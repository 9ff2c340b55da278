#pragma once

#include <string>
#include <string_view>

#include "submit/Utf16.h"

// The core speaks UTF-8; Windows' W functions speak UTF-16.
namespace tovela::win32 {

inline std::wstring Wide(std::string_view utf8) {
    std::u16string units = ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view wide) {
    return FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// Text another program handed over as bytes: in the ANSI code page, unless it starts with
// the UTF-8 byte-order mark, which the program's own senders put there to carry every
// character. The mark itself is dropped.
std::string TextFromOtherProgram(std::string_view bytes);

}  // namespace tovela::win32

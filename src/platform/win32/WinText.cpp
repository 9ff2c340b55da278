#include "platform/win32/WinText.h"

#include <windows.h>

namespace tovela::win32 {

std::string TextFromOtherProgram(std::string_view bytes) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        return std::string(bytes.substr(kUtf8Mark.size()));
    }
    if (bytes.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        length);
    return Narrow(wide);
}

}  // namespace tovela::win32

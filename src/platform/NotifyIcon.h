#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// Shell_NotifyIcon messages and flags.
enum class NotifyIconMessage : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };
inline constexpr std::uint32_t NIF_MESSAGE = 0x01;
inline constexpr std::uint32_t NIF_ICON = 0x02;
inline constexpr std::uint32_t NIF_TIP = 0x04;
inline constexpr std::uint32_t NIF_INFO = 0x10;
inline constexpr std::uint32_t NIIF_NONE = 0;
inline constexpr std::uint32_t NIIF_INFO = 1;
inline constexpr std::uint32_t NIIF_USER = 4;
inline constexpr std::uint32_t kTrayCallbackMessage = 0x0882;

// The notify-icon structure as the program keeps it between calls. Texts are UTF-8 and
// already cut to their fields (127, 255 and 63 UTF-16 units).
struct NotifyIconData {
    std::uintptr_t hWnd = 0;
    std::uint32_t uID = 1;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = kTrayCallbackMessage;
    std::uintptr_t hIcon = 0;
    std::string szTip;
    std::uint32_t dwState = 0;
    std::uint32_t dwStateMask = 0;
    std::string szInfo;
    std::uint32_t uTimeout = 10000;
    std::string szInfoTitle;
    std::uint32_t dwInfoFlags = 0;
};

// The notification area: one call in the shape of Shell_NotifyIcon.
class NotifyIconService {
public:
    virtual ~NotifyIconService() = default;
    virtual bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) = 0;
};

}  // namespace tovela

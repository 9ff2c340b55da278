#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Desktop.h"
#include "platform/LocaleInfo.h"
#include "platform/NotifyIcon.h"
#include "platform/SystemInfo.h"

namespace tovela::win32 {

// Resource ids of the program's pictures in resources/TovelaNotifier.rc.in; a stock system
// icon stands in for one that cannot be loaded.
inline constexpr int kIconResourceMain = 101;
inline constexpr int kIconResourceNewMail = 102;
inline constexpr int kIconResourceCalendar = 103;

// Shell_NotifyIconW with the full-size structure of this system.
class Win32NotifyIcons final : public NotifyIconService {
public:
    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) override;
};

class Win32Desktop final : public Desktop {
public:
    explicit Win32Desktop(SystemInfo& system) : system_(system) {}
    ~Win32Desktop() override;
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    bool PlaySoundFile(const std::string& path) override;
    void Beep() override;
    bool FileExists(const std::string& path) override;
    std::string ProgramFolder() override;
    // Loaded once per picture at the notification area's size and kept: the tray asks for
    // its icon on every update.
    std::uintptr_t IconHandle(ProgramIcon icon) override;
    void FixTrayTooltipsZOrder() override;

private:
    SystemInfo& system_;
    // The pictures loaded so far, by ProgramIcon; ours to destroy, unlike the stock icons.
    std::array<std::uintptr_t, 3> icons_{};
};

class Win32LocaleInfo final : public LocaleInfo {
public:
    std::string LongTimeText(const LocalDateTime& t) override;
};

}  // namespace tovela::win32

#pragma once

#include <cstdint>
#include <string>

#include "platform/Desktop.h"
#include "platform/LocaleInfo.h"
#include "platform/NotifyIcon.h"
#include "platform/SystemInfo.h"

namespace tovela::win32 {

// Resource ids of the program's pictures; until the resource script carries them, stock
// system icons stand in.
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
    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    bool PlaySoundFile(const std::string& path) override;
    void Beep() override;
    bool FileExists(const std::string& path) override;
    std::string ProgramFolder() override;
    std::uintptr_t IconHandle(ProgramIcon icon) override;
    void FixTrayTooltipsZOrder() override;

private:
    SystemInfo& system_;
};

class Win32LocaleInfo final : public LocaleInfo {
public:
    std::string LongTimeText(const LocalDateTime& t) override;
};

}  // namespace tovela::win32

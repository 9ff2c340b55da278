#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// Pictures the program shows in the notification area.
enum class ProgramIcon { Main, NewMail, Calendar };

// Message boxes, sounds and the program's own pictures and folder.
class Desktop {
public:
    virtual ~Desktop() = default;
    // A message box with the MessageBox style bits; returns the button pressed (the
    // Linux back end answers the default button at once).
    virtual int MessageBox(const std::string& text, const std::string& caption,
                           std::uint32_t style) = 0;
    // Plays a wave file asynchronously without a fallback sound; false when it cannot.
    virtual bool PlaySoundFile(const std::string& path) = 0;
    // The default system beep.
    virtual void Beep() = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // The folder the program was started from, with a trailing separator.
    virtual std::string ProgramFolder() = 0;
    // An icon handle for one of the program's pictures; owned by the desktop.
    virtual std::uintptr_t IconHandle(ProgramIcon icon) = 0;
    // Windows XP only: the explorer's tooltips over other topmost windows.
    virtual void FixTrayTooltipsZOrder() = 0;
};

}  // namespace tovela

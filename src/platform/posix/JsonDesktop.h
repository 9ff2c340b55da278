#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/LocaleInfo.h"
#include "platform/NotifyIcon.h"

// Without a desktop, the Linux build writes each effect a desktop would show (tray icons,
// balloons, message boxes, sounds) as one JSON object per line, for tests and the demo.
namespace tovela::posix {

// Builds one JSON object; text is taken as UTF-8, bad bytes become U+FFFD.
class JsonLine {
public:
    JsonLine& Text(std::string_view key, std::string_view value);
    JsonLine& Number(std::string_view key, std::int64_t value);
    std::string str() const;

private:
    void Key(std::string_view key);
    std::string body_;
};

// A JSON string literal, quotes included.
std::string JsonQuote(std::string_view utf8);

// Writes the line and flushes, so a reader sees each effect as it happens.
void WriteJsonLine(std::ostream& out, const JsonLine& line);

class JsonNotifyIcons final : public NotifyIconService {
public:
    explicit JsonNotifyIcons(std::ostream& out) : out_(out) {}
    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) override;

private:
    std::ostream& out_;
};

// Message boxes answer their default button at once; nobody is there to press it.
class JsonDesktop final : public Desktop {
public:
    explicit JsonDesktop(std::ostream& out) : out_(out) {}
    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    bool PlaySoundFile(const std::string& path) override;
    void Beep() override;
    bool FileExists(const std::string& path) override;
    std::string ProgramFolder() override;
    std::uintptr_t IconHandle(ProgramIcon icon) override;
    void FixTrayTooltipsZOrder() override {}

    // The button a message box of this style has as its default.
    static int DefaultAnswer(std::uint32_t style);

private:
    std::ostream& out_;
};

// The user's long time format from the C library's locale data (LC_TIME).
class PosixLocaleInfo final : public LocaleInfo {
public:
    PosixLocaleInfo();
    std::string LongTimeText(const LocalDateTime& t) override;
};

}  // namespace tovela::posix

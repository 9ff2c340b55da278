#pragma once

#include <cstdint>
#include <deque>
#include <optional>
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
    JsonLine& Bool(std::string_view key, bool value);
    // A value that is JSON already (a nested object or an array).
    JsonLine& Raw(std::string_view key, std::string_view json);
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

// What a script said the user will answer to the next message boxes and menus; without
// such a word a box answers its default button and a menu closes without a pick.
class ScriptedAnswers {
public:
    struct BoxAnswer {
        int button;
        bool dontAskAgain;
    };
    void QueueBox(BoxAnswer answer) { boxes_.push_back(answer); }
    void QueueMenuPick(std::string item) { menuPicks_.push_back(std::move(item)); }
    std::optional<BoxAnswer> NextBox() { return Take(boxes_); }
    std::optional<std::string> NextMenuPick() { return Take(menuPicks_); }

private:
    template <typename T>
    static std::optional<T> Take(std::deque<T>& queue) {
        if (queue.empty()) return std::nullopt;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
    std::deque<BoxAnswer> boxes_;
    std::deque<std::string> menuPicks_;
};

// Message boxes answer what the script said, or their default button at once.
class JsonDesktop final : public Desktop {
public:
    explicit JsonDesktop(std::ostream& out) : out_(out) {}
    ScriptedAnswers& Answers() { return answers_; }
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
    ScriptedAnswers answers_;
};

// The user's long time format from the C library's locale data (LC_TIME).
class PosixLocaleInfo final : public LocaleInfo {
public:
    PosixLocaleInfo();
    std::string LongTimeText(const LocalDateTime& t) override;
};

}  // namespace tovela::posix

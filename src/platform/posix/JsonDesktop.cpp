#include "platform/posix/JsonDesktop.h"

#include <langinfo.h>

#include <array>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "submit/Utf16.h"

namespace tovela::posix {
namespace {

// Icon handles are only names here: small numbers that read back as the picture meant.
constexpr std::array<const char*, 3> kIconNames = {"main", "newMail", "calendar"};
constexpr std::uintptr_t kFirstIconHandle = 1;

std::string IconName(std::uintptr_t handle) {
    if (handle < kFirstIconHandle || handle - kFirstIconHandle >= kIconNames.size()) return {};
    return kIconNames[handle - kFirstIconHandle];
}

const char* MessageName(NotifyIconMessage message) {
    switch (message) {
        case NotifyIconMessage::Add:
            return "add";
        case NotifyIconMessage::Modify:
            return "modify";
        case NotifyIconMessage::Delete:
            return "delete";
    }
    return "unknown";
}

// Malformed UTF-8 would make the whole line unreadable to a JSON parser.
bool IsValidUtf8(std::string_view text) {
    return FromUtf16(ToUtf16(text)) == text;
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
    const std::string text = IsValidUtf8(utf8) ? std::string(utf8) : FromUtf16(ToUtf16(utf8));
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

void JsonLine::Key(std::string_view key) {
    body_ += body_.empty() ? "{" : ",";
    body_ += JsonQuote(key);
    body_ += ':';
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view value) {
    Key(key);
    body_ += JsonQuote(value);
    return *this;
}

JsonLine& JsonLine::Number(std::string_view key, std::int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Bool(std::string_view key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Raw(std::string_view key, std::string_view json) {
    Key(key);
    body_ += json;
    return *this;
}

std::string JsonLine::str() const {
    return body_.empty() ? "{}" : body_ + "}";
}

void WriteJsonLine(std::ostream& out, const JsonLine& line) {
    out << line.str() << '\n' << std::flush;
}

bool JsonNotifyIcons::Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData& data) {
    WriteJsonLine(out_, JsonLine()
                            .Text("event", "notifyIcon")
                            .Text("message", MessageName(message))
                            .Number("hwnd", static_cast<std::int64_t>(data.hWnd))
                            .Number("id", data.uID)
                            .Number("flags", data.uFlags)
                            .Number("callbackMessage", data.uCallbackMessage)
                            .Number("hIcon", static_cast<std::int64_t>(data.hIcon))
                            .Text("icon", IconName(data.hIcon))
                            .Text("tip", data.szTip)
                            .Number("state", data.dwState)
                            .Number("stateMask", data.dwStateMask)
                            .Text("infoTitle", data.szInfoTitle)
                            .Text("info", data.szInfo)
                            .Number("infoFlags", data.dwInfoFlags)
                            .Number("timeout", data.uTimeout));
    return true;
}

int JsonDesktop::DefaultAnswer(std::uint32_t style) {
    // The buttons of each MB_ type in their order on the box, as ID answers.
    static constexpr std::array<std::array<int, 3>, 7> kButtons = {{
        {1, 0, 0},    // MB_OK: IDOK
        {1, 2, 0},    // MB_OKCANCEL: IDOK, IDCANCEL
        {3, 4, 5},    // MB_ABORTRETRYIGNORE
        {6, 7, 2},    // MB_YESNOCANCEL: IDYES, IDNO, IDCANCEL
        {6, 7, 0},    // MB_YESNO
        {4, 2, 0},    // MB_RETRYCANCEL
        {2, 10, 11},  // MB_CANCELTRYCONTINUE
    }};
    const std::uint32_t type = style & 0x0F;
    if (type >= kButtons.size()) return 1;
    const auto& buttons = kButtons[type];
    // MB_DEFBUTTON2..4; a default beyond the last button falls back to the first, as Windows does.
    const std::uint32_t index = (style & 0x0F00) >> 8;
    if (index < buttons.size() && buttons[index] != 0) return buttons[index];
    return buttons[0];
}

int JsonDesktop::MessageBox(const std::string& text, const std::string& caption,
                            std::uint32_t style) {
    const auto scripted = answers_.NextBox();
    const int answer = scripted ? scripted->button : DefaultAnswer(style);
    WriteJsonLine(out_, JsonLine()
                            .Text("event", "messageBox")
                            .Text("text", text)
                            .Text("caption", caption)
                            .Number("style", style)
                            .Number("answer", answer));
    return answer;
}

bool JsonDesktop::PlaySoundFile(const std::string& path) {
    WriteJsonLine(out_, JsonLine().Text("event", "sound").Text("file", path));
    return FileExists(path);
}

void JsonDesktop::Beep() {
    WriteJsonLine(out_, JsonLine().Text("event", "beep"));
}

bool JsonDesktop::FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(path), error);
}

std::string JsonDesktop::ProgramFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return {};
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::uintptr_t JsonDesktop::IconHandle(ProgramIcon icon) {
    return kFirstIconHandle + static_cast<std::uintptr_t>(icon);
}

PosixLocaleInfo::PosixLocaleInfo() {
    // Only the time format follows the user's locale; numbers and text handling stay "C".
    static std::once_flag once;
    std::call_once(once, [] { std::setlocale(LC_TIME, ""); });
}

std::string PosixLocaleInfo::LongTimeText(const LocalDateTime& t) {
    static constexpr const char* kFallback = "%H:%M:%S";
    std::tm value = {};
    value.tm_year = t.year - 1900;
    value.tm_mon = t.month - 1;
    value.tm_mday = t.day;
    value.tm_hour = t.hour;
    value.tm_min = t.minute;
    value.tm_sec = t.second;
    value.tm_isdst = -1;

    const char* format = nl_langinfo(T_FMT);
    if (!format || !*format) format = kFallback;
    char text[128];
    std::size_t length = std::strftime(text, sizeof text, format, &value);
    // A locale in another character set than UTF-8 would put foreign bytes into the core.
    if (length == 0 || !IsValidUtf8(std::string_view(text, length))) {
        length = std::strftime(text, sizeof text, kFallback, &value);
    }
    return std::string(text, length);
}

}  // namespace tovela::posix

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/NotifyIcon.h"
#include "platform/win32/Win32Mailbox.h"

namespace tovela::win32 {
namespace {

struct Received {
    std::uint32_t kind;
    std::optional<std::string> text;
    bool operator==(const Received&) const = default;
};

void PrintTo(const Received& r, std::ostream* out) {
    *out << r.kind << ":" << (r.text ? "\"" + *r.text + "\"" : std::string("<null>"));
}

class RecordingSink final : public MailboxSink {
public:
    std::intptr_t OnCopyData(std::uint32_t kind, const std::optional<std::string>& text) override {
        copies.push_back({kind, text});
        return result;
    }
    void OnTrayCallback(std::int16_t notification) override { tray.push_back(notification); }
    void OnTaskbarCreated() override { ++taskbarCreated; }

    std::vector<Received> copies;
    std::vector<std::int16_t> tray;
    int taskbarCreated = 0;
    std::intptr_t result = 0;
};

HWND FindMailbox() {
    return FindWindowW(L"STATIC", L"KVTTrayIconWnd");
}

// The window lives on this thread, so SendMessage runs its procedure before returning: what
// the sink records is complete when the send returns, with nothing to wait for.
class Win32MailboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FindMailbox(), nullptr) << "a mailbox window of an earlier test is left over";
        window = windows.CreateMailboxWindow(sink);
        ASSERT_NE(window->Handle(), 0u) << "no window; is a display driver there?";
    }

    HWND Hwnd() const { return reinterpret_cast<HWND>(window->Handle()); }

    // A WM_COPYDATA written by hand, as a sender other than this program might.
    LRESULT SendRaw(std::uint32_t kind, const void* data, DWORD bytes) {
        COPYDATASTRUCT copy = {};
        copy.dwData = kind;
        copy.cbData = bytes;
        copy.lpData = const_cast<void*>(data);
        return SendMessageW(Hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    }

    Win32WindowSystem windows;
    RecordingSink sink;
    std::unique_ptr<MailboxWindow> window;
};

TEST_F(Win32MailboxTest, SecondStartFindsTheWindowAndDeliversKindAndText) {
    EXPECT_EQ(FindMailbox(), Hwnd());
    Win32SingleInstance second;
    EXPECT_TRUE(second.SendCopyData(1721, std::nullopt));
    EXPECT_TRUE(second.SendCopyData(1722, std::string("QQA=")));
    EXPECT_TRUE(second.SendCopyData(1724, std::string()));
    EXPECT_TRUE(second.SendCopyData(1723, std::string("\xEF\xBB\xBFmailto:\xE6\x97\xA5@b")));
    EXPECT_EQ(
        sink.copies,
        (std::vector<Received>{
            {1721, std::nullopt}, {1722, "QQA="}, {1724, ""}, {1723, "mailto:\xE6\x97\xA5@b"}}));
}

// Other programs hand text over in the ANSI code page; the program's own mail library marks
// UTF-8 with a byte-order mark. Either way the core receives UTF-8.
TEST_F(Win32MailboxTest, TextIsReadInTheAnsiCodePageUnlessMarkedUtf8) {
    struct Case {
        const char* name;
        UINT codePage;  // 0: any
        std::string bytes, text;
    } cases[] = {
        {"western", 1252, "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
        {"japanese", 932, "\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"marked utf-8", 0, "\xEF\xBB\xBF\xE6\x97\xA5\xF0\x9F\x93\xA7",
         "\xE6\x97\xA5\xF0\x9F\x93\xA7"},
        {"mark alone", 0, "\xEF\xBB\xBF", ""},
    };
    for (const Case& c : cases) {
        if (c.codePage != 0 && c.codePage != GetACP()) continue;
        SCOPED_TRACE(c.name);
        sink.copies.clear();
        SendRaw(1723, c.bytes.c_str(), static_cast<DWORD>(c.bytes.size() + 1));
        EXPECT_EQ(sink.copies, (std::vector<Received>{{1723, c.text}}));
    }
}

// Only cbData bytes are the sender's: text ends at the first NUL or at cbData, whichever
// comes first, and a null lpData is no text at all whatever cbData says.
TEST_F(Win32MailboxTest, TextIsBoundedByCbDataAndItsFirstNul) {
    const char bytes[] = "abcdef";
    sink.result = 7;
    EXPECT_EQ(SendRaw(1722, bytes, 3), 7);
    SendRaw(1722, "abc\0def", 8);
    SendRaw(1722, bytes, 0);
    SendRaw(1721, nullptr, 5);
    SendRaw(1721, nullptr, 0);
    EXPECT_EQ(
        sink.copies,
        (std::vector<Received>{
            {1722, "abc"}, {1722, "abc"}, {1722, ""}, {1721, std::nullopt}, {1721, std::nullopt}}));
}

TEST_F(Win32MailboxTest, TrayNotificationsAndShellRestartReachTheSink) {
    SendMessageW(Hwnd(), kTrayCallbackMessage, 1, WM_LBUTTONUP);
    // Newer shells put the icon's id in the high word.
    SendMessageW(Hwnd(), kTrayCallbackMessage, 0, MAKELPARAM(WM_RBUTTONUP, 1));
    SendMessageW(Hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(sink.tray, (std::vector<std::int16_t>{WM_LBUTTONUP, WM_RBUTTONUP}));
    EXPECT_EQ(sink.taskbarCreated, 1);
    EXPECT_TRUE(sink.copies.empty());
}

// Everything else goes on to the window's own procedure: the title a second start
// searches for must stay readable.
TEST_F(Win32MailboxTest, OtherMessagesReachTheStaticControl) {
    wchar_t title[32] = {};
    EXPECT_EQ(GetWindowTextW(Hwnd(), title, 32), 14);
    EXPECT_STREQ(title, L"KVTTrayIconWnd");
}

TEST_F(Win32MailboxTest, DestroyedWindowIsGoneForASecondStart) {
    window.reset();
    EXPECT_EQ(FindMailbox(), nullptr);
    Win32SingleInstance second;
    EXPECT_FALSE(second.SendCopyData(1721, std::nullopt));
    EXPECT_TRUE(sink.copies.empty());
}

TEST(Win32SingleInstanceTest, MutexMarksTheRunningInstanceUntilItEnds) {
    {
        Win32SingleInstance first;
        ASSERT_FALSE(first.PrevInstance());
        Win32SingleInstance second;
        EXPECT_TRUE(second.PrevInstance());
    }
    Win32SingleInstance again;
    EXPECT_FALSE(again.PrevInstance());
}

}  // namespace
}  // namespace tovela::win32

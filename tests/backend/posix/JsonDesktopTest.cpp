#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/JsonDesktop.h"

namespace tovela::posix {
namespace {

using nlohmann::json;

class JsonDesktopTest : public ::testing::Test {
protected:
    // Every line written so far, parsed; a line that is not one JSON object fails the test.
    std::vector<json> Lines() {
        std::vector<json> lines;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            json parsed = json::parse(line, nullptr, false);
            EXPECT_TRUE(parsed.is_object()) << line;
            lines.push_back(parsed);
        }
        EXPECT_EQ(out.str().back(), '\n');
        return lines;
    }

    std::ostringstream out;
    JsonNotifyIcons icons{out};
    JsonDesktop desktop{out};
};

TEST_F(JsonDesktopTest, NotifyIconCallIsOneLineWithEveryField) {
    NotifyIconData data;
    data.hWnd = 0x1000;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.hIcon = desktop.IconHandle(ProgramIcon::Calendar);
    data.szTip = "10:00 会議\r\n第4会議室";
    data.szInfoTitle = "10:00 会議";
    data.szInfo = "第4会議室";
    data.dwInfoFlags = NIIF_USER;
    ASSERT_TRUE(icons.Shell_NotifyIcon(NotifyIconMessage::Add, data));

    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    const json& j = lines[0];
    EXPECT_EQ(j["event"], "notifyIcon");
    EXPECT_EQ(j["message"], "add");
    EXPECT_EQ(j["hwnd"], 0x1000);
    EXPECT_EQ(j["id"], 1);
    EXPECT_EQ(j["flags"], 0x17);
    EXPECT_EQ(j["callbackMessage"], 0x0882);
    EXPECT_EQ(j["icon"], "calendar");
    EXPECT_EQ(j["tip"], data.szTip);
    EXPECT_EQ(j["infoTitle"], data.szInfoTitle);
    EXPECT_EQ(j["info"], data.szInfo);
    EXPECT_EQ(j["infoFlags"], 4);
    EXPECT_EQ(j["timeout"], 10000);
    EXPECT_EQ(j["state"], 0);
    EXPECT_EQ(j["stateMask"], 0);

    // The other messages and pictures read back by name; a handle of no picture has none.
    NotifyIconData other;
    other.hIcon = desktop.IconHandle(ProgramIcon::Main);
    icons.Shell_NotifyIcon(NotifyIconMessage::Modify, other);
    other.hIcon = desktop.IconHandle(ProgramIcon::NewMail);
    icons.Shell_NotifyIcon(NotifyIconMessage::Delete, other);
    other.hIcon = 0;
    icons.Shell_NotifyIcon(NotifyIconMessage::Modify, other);
    std::vector<std::string> names;
    for (const json& line : Lines()) {
        names.push_back(line["message"].get<std::string>() + " " + line["icon"].get<std::string>());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"add calendar", "modify main", "delete newMail",
                                               "modify "}));
}

TEST_F(JsonDesktopTest, TextsSurviveEscaping) {
    struct Case {
        const char* name;
        std::string text;
        std::string readBack;
    };
    const std::vector<Case> cases = {
        {"quotes", "say \"hi\"", "say \"hi\""},
        {"backslashes", "C:\\Temp\\a.zip", "C:\\Temp\\a.zip"},
        {"line breaks and tabs", "title\r\nbody\tend", "title\r\nbody\tend"},
        {"other controls", std::string("a\x01z\x1f", 4) + std::string(1, '\0') + "\x7f",
         std::string("a\x01z\x1f", 4) + std::string(1, '\0') + "\x7f"},
        {"Japanese", "すべての必須フィールドに入力してください",
         "すべての必須フィールドに入力してください"},
        {"pair", "\U0001F600 mail", "\U0001F600 mail"},
        {"broken UTF-8", "a\xff!", "a\xEF\xBF\xBD!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out.str("");
        desktop.MessageBox(c.text, c.text, 64);
        const std::string raw = out.str();
        // Only the line's own end may appear as a raw control byte.
        for (std::size_t i = 0; i + 1 < raw.size(); ++i) {
            EXPECT_GE(static_cast<unsigned char>(raw[i]), 0x20u) << "at " << i;
        }
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["text"], c.readBack);
        EXPECT_EQ(lines[0]["caption"], c.readBack);
    }
    out.str("");
    desktop.MessageBox("\x01", "", 0);
    EXPECT_NE(out.str().find("\\u0001"), std::string::npos);
}

TEST_F(JsonDesktopTest, MessageBoxesAnswerTheirDefaultButton) {
    struct Case {
        const char* name;
        std::uint32_t style;
        int answer;
    };
    const std::vector<Case> cases = {
        {"OK", 0x00, 1},
        {"exclamation, topmost", 0x40030, 1},
        {"OK/Cancel", 0x01, 1},
        {"OK/Cancel, second default", 0x101, 2},
        {"abort/retry/ignore, third default", 0x202, 5},
        {"yes/no/cancel, third default", 0x203, 2},
        {"yes/no, question", 0x24, 6},
        {"yes/no, second default", 0x104, 7},
        {"yes/no, default past the last button", 0x204, 6},
        {"retry/cancel", 0x05, 4},
        {"cancel/try again/continue, second default", 0x106, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out.str("");
        EXPECT_EQ(desktop.MessageBox("text", "caption", c.style), c.answer);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["event"], "messageBox");
        EXPECT_EQ(lines[0]["style"], c.style);
        EXPECT_EQ(lines[0]["answer"], c.answer);
    }
}

TEST_F(JsonDesktopTest, SoundsBeepsAndFiles) {
    const std::filesystem::path wav = std::filesystem::temp_directory_path() /
                                      ("tovela-unread-" + std::to_string(getpid()) + ".wav");
    std::ofstream(wav).put('x');
    EXPECT_TRUE(desktop.FileExists(wav.string()));
    EXPECT_TRUE(desktop.PlaySoundFile(wav.string()));
    std::filesystem::remove(wav);
    EXPECT_FALSE(desktop.FileExists(wav.string()));
    EXPECT_FALSE(desktop.PlaySoundFile(wav.string()));
    EXPECT_FALSE(desktop.FileExists(""));
    desktop.Beep();

    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], json({{"event", "sound"}, {"file", wav.string()}}));
    EXPECT_EQ(lines[1], lines[0]);
    EXPECT_EQ(lines[2], json({{"event", "beep"}}));
}

TEST_F(JsonDesktopTest, ProgramFolderIsTheFolderOfThisProgram) {
    const std::string folder = desktop.ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "tovela_backend_tests"));
}

TEST(PosixLocaleInfoTest, LongTimeShowsMinutesAndSeconds) {
    PosixLocaleInfo locale;
    const std::string text = locale.LongTimeText({2026, 12, 6, 14, 5, 9});
    EXPECT_NE(text.find("05"), std::string::npos) << text;
    EXPECT_NE(text.find("09"), std::string::npos) << text;
}

}  // namespace
}  // namespace tovela::posix

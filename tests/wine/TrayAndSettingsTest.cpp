// What a person does with TovelaNotifier.exe in a Wine virtual desktop, against the fake
// server: set it up in its settings window, use the tray menu, open webmail and act on a
// reminder. The probe plays the user (window messages to the controls, tray callbacks,
// menu keys, dialog buttons); Wine's browser launcher is a script that records the address
// it is given instead of starting a browser.
//
// Run by scripts/test-windows.sh with WINEPREFIX (a fresh prefix in which nothing runs),
// DISPLAY and TOVELA_WINDOWS_BUILD set. The tests run in the order written, over two
// program runs: the first starts without settings and ends from the tray menu, the second
// starts with the settings a user who wants webmail logged in would have saved.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "integration/FakeServer.h"
#include "session/SoapRequests.h"
#include "settings/PocketCrypter.h"
#include "wine/WineDesktop.h"

namespace tovela::testing::wine {
namespace {

const char* const kPassword = "d&mo<1>";
const char* const kFormClass = "TovelaNotifierForm";
const char* const kFormTitle = "Tovela Notifier";
// The settings window's child windows (see SettingsControls) and the dialog buttons.
const char* const kHostBox = "1001";
const char* const kUserBox = "1003";
const char* const kPasswordBox = "1005";
const char* const kSecureBox = "1009";
const char* const kOkButton = "1";
const char* const kCloseButton = "2";
const char* const kYes = "6";
const char* const kNo = "7";
// The poll interval of the first run: long enough that a check seen soon after a menu
// pick cannot be the timer's.
constexpr int kFirstRunInterval = 20;

class TrayAndSettingsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (Env("TOVELA_WINDOWS_BUILD").empty() || Env("WINEPREFIX").empty() ||
            Env("DISPLAY").empty()) {
            return;
        }
        build_ = Env("TOVELA_WINDOWS_BUILD");
        out_ = build_ / "e2e";
        logs_ = out_ / "tray-and-settings";
        fs::remove_all(logs_);
        fs::create_directories(logs_);
        desktop_ = std::make_unique<WineDesktop>(build_, logs_ / "wine.log");

        server_ = std::make_unique<FakeServer>(nlohmann::json{
            {"account", {{"user", "demo"}, {"password", kPassword}}},
            {"version", "8.8.15_GA"},
            {"prefs", {{"tovelaPrefMailPollingInterval", std::to_string(kFirstRunInterval)}}},
            {"folders",
             {{{"id", 2}, {"name", "Inbox"}, {"parent", 1}, {"view", "message"}},
              {{"id", 10}, {"name", "Calendar"}, {"parent", 1}, {"view", "appointment"}}}}});
        if (!server_->Started()) return;

        // Wine's browser launcher runs the programs named under WineBrowser\Browsers, here
        // a script that only writes down the address.
        launches_ = logs_ / "launches.txt";
        const fs::path browser = logs_ / "browser.sh";
        std::ofstream(browser) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << launches_.string()
                               << "'\n";
        fs::permissions(browser, fs::perms::owner_all);
        ready_ = desktop_->Import(DesktopRegistry() +
                                      "[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\n"
                                      "\"Browsers\"=" +
                                      RegString(browser.string()) +
                                      "\n\n"
                                      // A first start: nothing stored.
                                      "[-HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                                      "Settings\\NotificadorTovela]\n\n",
                                  logs_ / "setup.reg");
        // Tracing on: an empty debug.log in the profile folder.
        for (const auto& user :
             fs::directory_iterator(fs::path(Env("WINEPREFIX")) / "drive_c" / "users")) {
            if (user.path().filename() == "Public") continue;
            const fs::path folder = user.path() / "AppData" / "Roaming" / "NotificadorTovela";
            fs::create_directories(folder);
            trace_ = folder / "debug.log";
            std::ofstream(trace_).close();
        }
    }

    static void TearDownTestSuite() {
        browserWindow_.reset();
        if (program_ && !program_->WaitForExit(0ms)) {
            ProgramRun("wineserver", {"-k"}, {}, {}).WaitForExit(30s);
        }
        program_.reset();
        if (server_) {
            std::ofstream(logs_ / "requests.json") << server_->Requests().dump(1);
            server_.reset();
        }
        if (!trace_.empty() && fs::exists(trace_))
            fs::copy_file(trace_, logs_ / "debug.log", fs::copy_options::overwrite_existing);
    }

    void SetUp() override {
        if (build_.empty())
            GTEST_SKIP() << "WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD are not set";
        ASSERT_TRUE(server_ && server_->Started()) << "the fake server did not start";
        ASSERT_TRUE(ready_) << "the prefix could not be set up";
    }

    static bool StartProgram() {
        runLogStart_ = desktop_->LogSize();
        program_ = std::make_unique<ProgramRun>(
            "wine", std::vector<std::string>{desktop_->Exe().string()}, desktop_->Environment(),
            logs_ / "program.out", desktop_->Log());
        return program_->Started();
    }
    static bool ProgramRunning() { return program_ && !program_->WaitForExit(0ms); }

    static int Probe(const std::vector<std::string>& args, std::string* output = nullptr) {
        return desktop_->Probe(args, output);
    }
    static bool FormShowing() { return desktop_->Showing(kFormClass, kFormTitle); }

    static std::string Trace() { return WithoutCarriageReturns(ReadText(trace_)); }

    static std::vector<nlohmann::json> Requests(const std::string& marker) {
        std::vector<nlohmann::json> found;
        for (const auto& entry : server_->Requests()) {
            if (entry.value("body", "").find(marker) != std::string::npos) found.push_back(entry);
        }
        return found;
    }
    static std::vector<nlohmann::json> SessionBatches() { return Requests("<SearchRequest"); }
    // Seconds from one recorded request to a later one.
    static double SecondsBetween(const nlohmann::json& first, const nlohmann::json& later) {
        const auto seconds = [](const nlohmann::json& entry) {
            const std::string time = entry.value("time", "");  // 2024-05-01T10:30:00.123Z
            return std::stod(time.substr(11, 2)) * 3600 + std::stod(time.substr(14, 2)) * 60 +
                   std::stod(time.substr(17, 6));
        };
        const double gap = seconds(later) - seconds(first);
        return gap < 0 ? gap + 86400 : gap;
    }

    // The program's settings as the prefix's user.reg holds them once the wineserver
    // has written it: name → value, for values of plain ASCII text.
    static std::map<std::string, std::string> StoredSettings() {
        const std::string reg =
            WithoutCarriageReturns(ReadText(fs::path(Env("WINEPREFIX")) / "user.reg"));
        const std::string key =
            "\n[Software\\\\VB and VBA Program Settings\\\\NotificadorTovela\\\\Settings]";
        std::map<std::string, std::string> values;
        const std::size_t at = reg.find(key);
        if (at == std::string::npos) return values;
        std::istringstream lines(reg.substr(at + key.size()));
        std::string line;
        std::getline(lines, line);  // the rest of the key's line
        const std::regex value("\"([^\"]+)\"=\"([ -!#-\\[\\]-~]*)\"");
        while (std::getline(lines, line) && !line.empty()) {
            std::smatch match;
            if (std::regex_match(line, match, value)) values[match[1]] = match[2];
        }
        return values;
    }

    static std::vector<std::string> Launches() {
        std::vector<std::string> lines;
        std::istringstream text(ReadText(launches_));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    // The window of this run's main icon: the first one the shell added.
    static std::string MainIconWindow() {
        const auto icons = desktop_->ShellIcons("add_icon", runLogStart_);
        return icons.empty() ? std::string() : icons.front().second;
    }

    // A dialog found by its text, parsed; empty when none showed within the probe's wait.
    static std::optional<Window> Dialog(const std::string& text, const char* press = nullptr) {
        std::string listing;
        std::vector<std::string> args{"dialog", text};
        if (press) args.push_back(press);
        if (Probe(args, &listing) != 0) return std::nullopt;
        const auto windows = WineDesktop::ParseWindows(listing, true);
        if (windows.empty()) return std::nullopt;
        return windows.front();
    }
    static bool HasChild(const Window& window, const std::string& className,
                         const std::string& text) {
        return std::any_of(window.children.begin(), window.children.end(), [&](const Window& c) {
            return c.visible && c.className == className && c.title == text;
        });
    }

    // A picture for a person to look at, kept beside the balloon's.
    static void Capture(const std::string& className, const std::string& title,
                        const std::string& file) {
        const fs::path shot = out_ / file;
        fs::remove(shot);
        EXPECT_EQ(Probe({"capture", className, title, "Z:" + shot.string()}), 0) << file;
        EXPECT_GT(fs::exists(shot) ? fs::file_size(shot) : 0, 1000u) << file;
    }

    // Right click on the main icon, then the N-th entry of the tray menu.
    static void PickFromTrayMenu(const std::string& position, const std::string& picture = {}) {
        ASSERT_EQ(Probe({"tray", "rbuttonup", MainIconWindow()}), 0);
        if (!picture.empty()) Capture("#32768", "*", picture);
        ASSERT_EQ(Probe({"pick-menu", position}), 0) << "no pop-up menu opened";
    }

    static void ExpectEveryIconRemoved() {
        EXPECT_GE(desktop_->ProgramRequests(0, runLogStart_), 1u);
        EXPECT_EQ(desktop_->ProgramRequests(2, runLogStart_),
                  desktop_->ProgramRequests(0, runLogStart_));
        EXPECT_EQ(desktop_->ShellIconSet("hide_icon", runLogStart_),
                  desktop_->ShellIconSet("add_icon", runLogStart_))
            << desktop_->LogFrom(runLogStart_);
    }

    static inline fs::path build_;
    static inline fs::path out_;
    static inline fs::path logs_;
    static inline fs::path trace_;
    static inline fs::path launches_;
    static inline bool ready_ = false;
    static inline std::size_t runLogStart_ = 0;
    static inline std::unique_ptr<WineDesktop> desktop_;
    static inline std::unique_ptr<FakeServer> server_;
    static inline std::unique_ptr<ProgramRun> program_;
    static inline std::unique_ptr<ProgramRun> browserWindow_;
    static inline std::string webmail_;  // the logged-in address of the second run
};

TEST_F(TrayAndSettingsTest, AFirstStartWithoutSettingsShowsTheSettingsWindowInJapanese) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(WaitUntil([] { return FormShowing(); }, 60s)) << "no settings window within 60 s\n"
                                                              << Trace();
    const auto form = desktop_->Find(kFormClass, kFormTitle, true);
    ASSERT_TRUE(form);
    for (const char* caption :
         {"サーバー:", "ユーザー名:", "パスワード:", "パスワードの保存", "安全な接続をする",
          "Webmail Login", "確認間隔(秒):", "ウィンドウで知らせる", "音で知らせる",
          "リマインド規則: (フォルダー|タグ|カレンダー)", "リマインドしない...",
          "リマインドする...", "次の文字列を含む場合:", "&OK", "閉じる(&C)"}) {
        EXPECT_TRUE(std::any_of(form->children.begin(), form->children.end(),
                                [&](const Window& c) { return c.visible && c.title == caption; }))
            << "no control shows \"" << caption << "\"";
    }
    Capture(kFormClass, kFormTitle, "settings.png");
    EXPECT_TRUE(Requests("<AuthRequest").empty()) << "it logged in without settings";
}

TEST_F(TrayAndSettingsTest, CloseHidesTheWindowAndASecondStartWithSettingsShowsItAgain) {
    ASSERT_EQ(Probe({"click", kFormClass, kFormTitle, kCloseButton}), 0);
    EXPECT_TRUE(WaitUntil([] { return !FormShowing(); }, 30s)) << "閉じる left the window open";
    EXPECT_EQ(desktop_->Run({desktop_->Exe().string(), "/settings"}), 0);
    EXPECT_TRUE(WaitUntil([] { return FormShowing(); }, 30s)) << "/settings showed nothing";
    EXPECT_TRUE(ProgramRunning());
}

TEST_F(TrayAndSettingsTest, FilledInAndConfirmedItLogsInAsksAboutTheMailProgramAndHides) {
    // The fake server speaks plain HTTP: the secure connection is unticked before the
    // password is typed, as unticking it drops a password.
    ASSERT_EQ(Probe({"set-text", kFormClass, kFormTitle, kHostBox, server_->HostAndPort()}), 0);
    ASSERT_EQ(Probe({"click", kFormClass, kFormTitle, kSecureBox}), 0);
    ASSERT_EQ(Probe({"set-text", kFormClass, kFormTitle, kUserBox, "demo"}), 0);
    ASSERT_EQ(Probe({"set-text", kFormClass, kFormTitle, kPasswordBox, kPassword}), 0);
    ASSERT_EQ(Probe({"click", kFormClass, kFormTitle, kOkButton}), 0);

    ASSERT_TRUE(WaitUntil([] { return !Requests("<AuthRequest").empty(); }, 60s))
        << "no login within 60 s of OK\n"
        << Trace();
    const auto logins = Requests("<AuthRequest");
    EXPECT_EQ(logins.front().value("body", ""), BuildLoginBatch("demo", kPassword));

    // Wine's SHMessageBoxCheck: its own dialog with the text, a "don't show again" box and
    // Yes/No buttons.
    const auto question = Dialog("デフォルトのメールアプリケーションとして設定 ?");
    ASSERT_TRUE(question) << "the mail-program question did not show\n" << Trace();
    EXPECT_EQ(question->title, "Tovela Notifier v6.1.0");
    EXPECT_TRUE(HasChild(*question, "Static", "デフォルトのメールアプリケーションとして設定 ?"));
    EXPECT_TRUE(FormShowing()) << "the window hid before the question was answered";
    Capture("#32770", question->title, "mail-program-question.png");
    ASSERT_TRUE(Dialog("デフォルトのメールアプリケーションとして設定 ?", kNo));

    EXPECT_TRUE(WaitUntil([] { return !FormShowing(); }, 30s)) << "the window stayed open";
    // Polling goes on by itself now that the window is hidden, on the server's interval,
    // counted from the answer at the earliest.
    ASSERT_TRUE(
        WaitUntil([] { return !SessionBatches().empty(); }, 20s + 2 * kFirstRunInterval * 1s))
        << "no check followed the login\n"
        << Trace();
    EXPECT_GE(SecondsBetween(logins.front(), SessionBatches().front()), kFirstRunInterval - 0.1);
    EXPECT_TRUE(ProgramRunning());
    EXPECT_EQ(Trace().find(kPassword), std::string::npos) << "the password reached the trace";
}

TEST_F(TrayAndSettingsTest, TheTrayMenuChecksAtOnceAndItsExitEndsTheProgramWithItsIcons) {
    const std::size_t before = SessionBatches().size();
    ASSERT_GE(before, 1u);
    // 新着メールを確認 is the second entry; Wine's menus cannot be read from another process.
    PickFromTrayMenu("#2", "tray-menu.png");
    ASSERT_TRUE(WaitUntil([&] { return SessionBatches().size() > before; }, 15s))
        << "新着メールを確認 sent nothing";
    const auto batches = SessionBatches();
    EXPECT_LT(SecondsBetween(batches.at(before - 1), batches.at(before)), kFirstRunInterval - 2)
        << "the check came with the timer, not at once";

    PickFromTrayMenu("#6");  // 終了
    ASSERT_EQ(program_->WaitForExit(60s), std::optional<int>(0))
        << "終了 did not end the program within 60 s\n"
        << Trace();
    EXPECT_NE(Trace().find("\\\\\\\\\\ End: "), std::string::npos);
    ExpectEveryIconRemoved();

    // What OK saved is what the next start finds (text values only, as Wine keeps them).
    ASSERT_EQ(ProgramRun("wineserver", {"-w"}, {}, {}).WaitForExit(60s), 0);
    const auto stored = StoredSettings();
    const std::map<std::string, std::string> expected = {{"TovelaHost", server_->HostAndPort()},
                                                         {"HTTPS", "0"},
                                                         {"Username", "demo"},
                                                         {"GuardaPassword", "1"},
                                                         {"WebmailLogin", "0"},
                                                         {"mailtoHandler", "0"}};
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(stored.count(name) ? stored.at(name) : "(none)", value) << name;
    }
    ASSERT_TRUE(stored.count("Password"));
    EXPECT_EQ(PasswordFromStoredForm(stored.at("Password"), CheckBox{}), kPassword)
        << stored.at("Password");
}

TEST_F(TrayAndSettingsTest, WithWebmailLoginADoubleClickOpensTheLoggedInAddress) {
    // Checks every 2 s from now on, so that a new appointment soon gets its icon.
    server_->Admin("/admin/scenario", {{"prefs", {{"tovelaPrefMailPollingInterval", "2"}}}});
    ASSERT_TRUE(desktop_->Import(
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\NotificadorTovela\\"
        "Settings]\n"
        "\"TovelaHost\"=" +
            RegString(server_->HostAndPort()) +
            "\n\"HTTPS\"=\"0\"\n\"Username\"=\"demo\"\n"
            "\"Password\"=" +
            RegString(std::string("text:") + kPassword) + "\n\"WebmailLogin\"=\"1\"\n\n",
        logs_ / "webmail.reg"));
    const std::size_t loginsBefore = Requests("<AuthRequest").size();
    const std::size_t batchesBefore = SessionBatches().size();
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(WaitUntil([&] { return SessionBatches().size() > batchesBefore; }, 90s))
        << "the second run did not log in\n"
        << Trace();
    EXPECT_EQ(Requests("<AuthRequest").size(), loginsBefore + 1);
    EXPECT_FALSE(FormShowing());
    ASSERT_FALSE(MainIconWindow().empty());

    ASSERT_EQ(Probe({"tray", "lbuttondblclk", MainIconWindow()}), 0);
    ASSERT_TRUE(WaitUntil([] { return !Launches().empty(); }, 30s)) << "nothing was launched\n"
                                                                    << Trace();
    // Server 8.x: the pre-authentication address redirecting to the webmail's root; the
    // program keeps its session.
    const std::string body = SessionBatches().back().value("body", "");
    const std::string token = soap::Between(body, "<authToken>", "</authToken>");
    const std::string host = "http://" + server_->HostAndPort();
    webmail_ =
        host + "/service/preauth?isredirect=1&authtoken=" + token + "&redirectURL=" + host + "/";
    EXPECT_EQ(Launches(), std::vector<std::string>{webmail_});
}

TEST_F(TrayAndSettingsTest, AnOpenWebmailWindowComesToTheFrontInsteadOfANewPage) {
    const char* const title = "Inbox - Tovela: Inbox";
    browserWindow_ = std::make_unique<ProgramRun>(
        "wine",
        std::vector<std::string>{(build_ / "tests" / "tovela-wine-probe.exe").string(),
                                 "browser-window", title},
        desktop_->Environment(), logs_ / "browser-window.out", desktop_->Log());
    ASSERT_TRUE(
        WaitUntil([&] { return desktop_->Find("Chrome_WidgetWin_1", title).has_value(); }, 30s));
    const auto foreground = [&] {
        std::string line;
        Probe({"foreground"}, &line);
        return line;
    };
    const auto inFront = [&] {
        const std::string line = foreground();
        return line.find("\tChrome_WidgetWin_1\t") != std::string::npos &&
               line.find("iconic 0") != std::string::npos;
    };
    ASSERT_FALSE(inFront()) << foreground();
    // A double click within 3 s of the last launch does nothing, so it is repeated.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return Probe({"tray", "lbuttondblclk", MainIconWindow()}) == 0 &&
                   WaitUntil(inFront, 3s);
        },
        30s))
        << foreground();
    EXPECT_EQ(Launches().size(), 1u) << "a page was opened although webmail is open";
}

TEST_F(TrayAndSettingsTest, AMailtoLinkFromASecondStartOpensTheComposePage) {
    // Even with a webmail window open: composing always needs a page of its own.
    EXPECT_TRUE(WaitUntil(
        [] {
            return desktop_->Run({desktop_->Exe().string(), "mailto:a@b?subject=Hi"}) == 0 &&
                   WaitUntil([] { return Launches().size() > 1; }, 3s);
        },
        30s))
        << Trace();
    ASSERT_EQ(Launches().size(), 2u);
    // The compose request travels inside the redirect, percent-encoded.
    EXPECT_EQ(Launches().back(), webmail_ + "%3Fview=compose%26to=a@b%26subject=Hi");
    browserWindow_.reset();
}

TEST_F(TrayAndSettingsTest, DeletingAReminderAsksThenRemovesItOnTheServerAndItsIcon) {
    const auto added =
        server_->Admin("/admin/appointment",
                       {{"name", "設計レビュー"},
                        {"folder", 10},
                        {"startInMinutes", 10},
                        {"durationMs", 1800000},
                        {"alarm", {{"rel", {{"m", 15}, {"neg", true}, {"related", "START"}}}}}});
    ASSERT_TRUE(added.is_object() && added.contains("id")) << added.dump();
    const std::string id = added["id"].is_string() ? added["id"].get<std::string>()
                                                   : std::to_string(added["id"].get<long long>());
    std::string reminder;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const auto& [iconId, window] : desktop_->ShellIcons("add_icon", runLogStart_)) {
                if (window != MainIconWindow()) reminder = window;
            }
            return !reminder.empty();
        },
        60s))
        << "the reminder got no icon\n"
        << desktop_->LogFrom(runLogStart_);

    // Any click on the reminder's icon opens the calendar menu: its name, when, a separator,
    // Tovelaを開く, 削除, この予約をリマインドする.
    ASSERT_EQ(Probe({"tray", "lbuttonup", reminder}), 0);
    Capture("#32768", "*", "calendar-menu.png");
    ASSERT_EQ(Probe({"pick-menu", "#4"}), 0);
    const std::string text = "この予約をTovelaカレンダーから削除しますか？";
    const auto question = Dialog(text);
    ASSERT_TRUE(question) << "no question before deleting\n" << Trace();
    EXPECT_EQ(question->title, "Tovela Notifier v6.1.0");
    EXPECT_TRUE(HasChild(*question, "Static", text));
    EXPECT_TRUE(Requests("<CancelAppointmentRequest").empty()) << "sent before the answer";
    Capture("#32770", question->title, "delete-question.png");
    ASSERT_TRUE(Dialog(text, kYes));

    EXPECT_TRUE(WaitUntil([] { return !Requests("<CancelAppointmentRequest").empty(); }, 30s));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto state = server_->Admin("/admin/state");
            if (!state.is_object()) return false;
            for (const auto& appointment :
                 state["scenario"].value("appointments", nlohmann::json::array())) {
                if (appointment.contains("id") &&
                    appointment["id"].dump().find(id) != std::string::npos)
                    return false;
            }
            return true;
        },
        30s))
        << "the appointment is still on the server";
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto hidden = desktop_->ShellIcons("hide_icon", runLogStart_);
            return std::any_of(hidden.begin(), hidden.end(),
                               [&](const auto& icon) { return icon.second == reminder; });
        },
        30s))
        << "the reminder's icon stayed\n"
        << desktop_->LogFrom(runLogStart_);
    EXPECT_TRUE(ProgramRunning());
}

TEST_F(TrayAndSettingsTest, ExitEndsTheSecondRunWithEveryIconRemoved) {
    PickFromTrayMenu("#6");  // 終了
    ASSERT_EQ(program_->WaitForExit(60s), std::optional<int>(0)) << Trace();
    ExpectEveryIconRemoved();
}

}  // namespace
}  // namespace tovela::testing::wine

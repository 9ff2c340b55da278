// The real program set up and driven the way a user does it, through its input channel,
// against the fake server.
#include <gtest/gtest.h>

#include "integration/DesktopEvents.h"
#include "integration/FakeServer.h"
#include "integration/ProgramRun.h"

namespace tovela::testing {
namespace {

using nlohmann::json;

std::size_t Logins(FakeServer& server) {
    const json requests = server.Requests();
    return std::count_if(requests.begin(), requests.end(), [](const json& r) {
        return r.value("body", "").find("<AuthRequest") != std::string::npos;
    });
}

std::size_t Posts(FakeServer& server) {
    const json requests = server.Requests();
    return std::count_if(requests.begin(), requests.end(),
                         [](const json& r) { return r.value("method", "") == "POST"; });
}

bool WindowShown(const json& e, bool visible) {
    return e.value("visible", !visible) == visible;
}

TEST(SettingsWindowTest, SetUpFromNothingThenDrivenFromTheTray) {
    FakeServer server({{"account", {{"user", "demo"}, {"password", "demo"}}},
                       {"version", "8.8.15_GA"},
                       {"prefs", {{"tovelaPrefMailPollingInterval", "1"}}}});
    ASSERT_TRUE(server.Started()) << server.Output();
    TestProfile profile("tovela-settings-window");
    const auto output = profile.root / "desktop.jsonl";
    ProgramRun program({}, profile.env, output);
    ASSERT_TRUE(program.Started());

    // Without settings the window is the first thing the user sees, empty.
    auto window = WaitForEvent(output, "settingsWindow");
    ASSERT_TRUE(window) << ReadText(output);
    EXPECT_TRUE(window->value("visible", false));
    EXPECT_EQ((*window)["controls"]["txtTovelaHost"]["text"], "");
    EXPECT_EQ((*window)["controls"]["lblServer"]["caption"], "サーバー:");

    // A wrong password: the server's refusal, and the password box empty again.
    program.Input(R"({"do":"type","control":"txtTovelaHost","text":")" + server.HostAndPort() +
                  R"("})");
    program.Input(R"({"do":"click","control":"chkSSL"})");
    program.Input(R"({"do":"type","control":"txtUsuario","text":"demo"})");
    program.Input(R"({"do":"type","control":"txtPassword","text":"wrong"})");
    program.Input(R"({"do":"click","control":"cmdAceptar"})");
    const auto refusal = WaitForEvent(output, "messageBox");
    ASSERT_TRUE(refusal) << ReadText(output);
    EXPECT_EQ(refusal->value("text", ""), "ユーザー名またはパスワードが正しくありません。demo");
    EXPECT_EQ(refusal->value("style", 0) & 0xFF, 48);
    window = WaitForEvent(output, "settingsWindow");
    EXPECT_TRUE(window->value("visible", false));
    EXPECT_FALSE((*window)["controls"]["txtPassword"]["filled"].get<bool>());
    EXPECT_EQ(Logins(server), 1u);
    EXPECT_EQ(ReadText(output).find("wrong"), std::string::npos);  // never on screen

    // The right one: logged in, the window gone, the settings kept, polling every second.
    program.Input(R"({"do":"type","control":"txtPassword","text":"demo"})");
    program.Input(R"({"do":"answer","button":"no"})");
    program.Input(R"({"do":"click","control":"cmdAceptar"})");
    ASSERT_TRUE(WaitForEvent(output, "settingsWindow", [](const json& e) {
        return WindowShown(e, false);
    })) << ReadText(output);
    EXPECT_EQ(Logins(server), 2u);
    const std::string settings = ReadText(profile.SettingsFile());
    EXPECT_NE(settings.find("TovelaHost=" + server.HostAndPort() + "\n"), std::string::npos);
    EXPECT_NE(settings.find("Username=demo\n"), std::string::npos);
    EXPECT_NE(settings.find("HTTPS=0\n"), std::string::npos);
    const std::size_t afterLogin = Posts(server);
    EXPECT_TRUE(WaitUntil([&] { return Posts(server) >= afterLogin + 2; }));

    // "新着メールを確認" from the tray menu asks the server at once.
    program.Input(R"({"do":"menu","item":"mnuPopComprobar"})");
    program.Input(R"({"do":"click","button":"right"})");
    const auto menu = WaitForEvent(output, "menu");
    ASSERT_TRUE(menu) << ReadText(output);
    EXPECT_EQ(menu->value("picked", ""), "mnuPopComprobar");
    EXPECT_TRUE((*menu)["items"][0].value("enabled", false));  // logged in: open is offered

    // "終了": the program ends, taking every icon it added with it.
    program.Input(R"({"do":"menu","item":"mnuPopSalir"})");
    program.Input(R"({"do":"click","button":"right"})");
    EXPECT_EQ(program.WaitForExit(), std::optional<int>(0)) << ReadText(output);
    std::set<long> added, removed;
    for (const json& e : Events(output)) {
        if (e.value("event", "") != "notifyIcon") continue;
        if (e.value("message", "") == "add") added.insert(e.value("hwnd", 0L));
        if (e.value("message", "") == "delete") removed.insert(e.value("hwnd", 0L));
    }
    EXPECT_FALSE(added.empty());
    EXPECT_EQ(added, removed);
}

}  // namespace
}  // namespace tovela::testing

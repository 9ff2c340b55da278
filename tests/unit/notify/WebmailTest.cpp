#include <gtest/gtest.h>

#include "fakes/FakeShell.h"
#include "notify/Webmail.h"

namespace tovela {
namespace {

TEST(WebmailTest, AddressByServerVersionAndLoginChoice) {
    struct Case {
        const char* version;
        bool login;
        std::string path;
        bool handsOver;
    } cases[] = {
        {"7.1.4_GA_2555", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=/tovela/mail", false},
        {"7.1.3_GA_2000", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/tovela/mail",
         false},
        {"8.5.1_GA_3000", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/", false},
        {"8.6.0_GA_1153", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/", true},
        {"8.6.0_GA_1182", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/", false},
        {"9.0.0_GA_6000", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/", false},
        {"10.0.0_GA_1", true, "/service/preauth?authtoken=T", true},
        {"", true,
         "/service/preauth?isredirect=1&authtoken=T&redirectURL=https://h.example/tovela/mail",
         false},
        {"7.1.4_GA_2555", false, "/tovela/mail", false},
        {"8.6.0_GA_1153", false, "/", false},
        {"10.0.0_GA_1", false, "/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.login ? " logged in" : " plain"));
        const WebmailAddress a =
            BuildWebmailAddress({"", true, c.login, "h.example", "T", c.version});
        EXPECT_EQ(a.url, "https://h.example" + c.path);
        EXPECT_EQ(a.handsOverSession, c.handsOver);
    }
}

TEST(WebmailTest, ComposeAddressesTravelEncodedInsideTheRedirect) {
    const std::string to = "x&subject=Hi there";
    EXPECT_EQ(BuildWebmailAddress({to, false, true, "h", "T", "8.8.15_GA"}).url,
              "http://h/service/preauth?isredirect=1&authtoken=T&redirectURL=http://h/"
              "%3Fview=compose%26to=x%26subject=Hi%20there");
    EXPECT_EQ(BuildWebmailAddress({to, false, false, "h", "T", "8.8.15_GA"}).url,
              "http://h/?view=compose&to=x&subject=Hi there");
    // Every character that means something in a query, the escape character first.
    EXPECT_EQ(
        BuildWebmailAddress({"%#?& /:\\+", false, true, "h", "T", "10.0"}).url,
        "http://h/service/preauth?authtoken=T%3Fview=compose%26to=%25%23%3F%26%20%2F%3A%5C%2B");
    // A forwarded link cannot smuggle a second line into the address.
    EXPECT_EQ(AddressesFromCommandLine("a@b\r\n&subject=x\ty\x7f"), "a@b&subject=xy");
}

TEST(WebmailTest, WebmailWindowIsFoundByBrowserAndTitle) {
    struct Case {
        const char* name;
        std::function<std::uintptr_t(testing::FakeDesktopWindows&)> layout;  // the expected one
    } cases[] = {
        {"nothing open", [](auto&) { return std::uintptr_t{0}; }},
        {"new chrome titles its frame",
         [](auto& d) { return d.Add("Chrome_WidgetWin_1", "Inbox - Tovela: Inbox"); }},
        {"marker in another case is not webmail",
         [](auto& d) {
             d.Add("Chrome_WidgetWin_1", "tovela: inbox");
             return std::uintptr_t{0};
         }},
        {"firefox by its title only",
         [](auto& d) {
             d.Add("MozillaWindowClass", "News - Mozilla Firefox");
             return d.Add("MozillaWindowClass", "Tovela: Inbox - Mozilla Firefox");
         }},
        {"internet explorer tab",
         [](auto& d) {
             const auto frame = d.Add("IEFrame", "Internet Explorer");
             const auto tabs = d.Add("Frame Tab", "", frame);
             d.Add("TabWindowClass", "Tovela: Inbox", tabs);
             return frame;
         }},
        {"a tab window names its frame",
         [](auto& d) {
             const auto frame = d.Add("Chrome_WidgetWin_0", "Browser");
             d.Add("TabWindowClass", "Tovela: Inbox", frame);
             return frame;
         }},
        {"another child is itself the answer",
         [](auto& d) {
             const auto frame = d.Add("Chrome_WidgetWin_0", "Browser");
             return d.Add("Chrome_RenderWidgetHostHWND", "Tovela: Inbox", frame);
         }},
        {"an earlier class wins",
         [](auto& d) {
             d.Add("Chrome_WidgetWin_1", "Tovela: Inbox");
             return d.Add("MozillaUIWindowClass", "Tovela: Calendar");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::FakeDesktopWindows desktop;
        const std::uintptr_t expected = c.layout(desktop);
        EXPECT_EQ(FindWebmailWindow(desktop), expected);
    }
}

}  // namespace
}  // namespace tovela

#include <gtest/gtest.h>

#include <random>

#include "SettingsTestSupport.h"
#include "settings/PocketCrypter.h"

namespace tovela::testing {
namespace {

TEST(RestoreSettingsTest, EmptyStoreShowsDefaultsReadInRestoreOrder) {
    FakeSettingsStore store;
    SettingsHarness f;
    f.Restore(store);
    const SettingsWindowModel& m = f.form();
    EXPECT_EQ(std::vector({m.chkSSL.value, m.chkGuardaPassword.value, m.chkWebmailLogin.value,
                           m.chkVentana.value, m.chkSonido.value}),
              std::vector({1, 1, 0, 0, 0}));
    EXPECT_TRUE(f.menus.mnuPopWinSetupAutoRun.checked);
    EXPECT_FALSE(f.menus.mnuPopWinSetupMailtoHandler.checked);
    EXPECT_EQ(m.txtFilters.text, "迷惑メール");
    EXPECT_TRUE(m.optBlackList.value && !m.optWhiteList.value);
    EXPECT_EQ(m.txtTovelaHost.text + m.txtUsuario.text + m.txtPassword.text + f.sPassword, "");

    std::vector<std::string> keys;
    for (const auto& line : f.log.lines) keys.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(keys, std::vector<std::string>({"HTTPS", "GuardaPassword", "TovelaHost", "Username",
                                              "WebmailLogin", "Password", "Ventana", "Sonido",
                                              "AutoRun", "mailtoHandler", "Filtros", "WhiteList"}));
}

// Host, user and webmail login all wipe a password when they change, and webmail login
// decides the base: a password restored any earlier would be lost or misread.
TEST(RestoreSettingsTest, PasswordSurvivesTheHandlersOfEarlierKeys) {
    for (const int webmail : {kUnchecked, kChecked}) {
        SCOPED_TRACE(webmail);
        FakeSettingsStore store;
        store.Put("TovelaHost", "mail.example.com");
        store.Put("Username", "taro");
        store.Put("WebmailLogin", std::to_string(webmail));
        store.Put("Password", ScramblePassword("Secret!", CheckBox{.value = webmail}));
        SettingsHarness f;
        f.Restore(store);
        EXPECT_EQ(f.sPassword, "Secret!");
        EXPECT_EQ(f.form().txtPassword.text, kMask);
        EXPECT_FALSE(f.form().txtPassword.changedMark);
        EXPECT_EQ(f.session.sHost, "mail.example.com");
    }
}

TEST(RestoreSettingsTest, WhiteListRunsItsRule) {
    FakeSettingsStore store;
    store.Put("Filtros", "迷惑メール");
    store.Put("WhiteList", "1");
    SettingsHarness f;
    f.Restore(store);
    EXPECT_EQ(f.form().txtFilters.text, "受信箱");
    EXPECT_TRUE(f.form().optWhiteList.value && !f.form().optBlackList.value);
}

TEST(RestoreSettingsTest, UnreadableValuesReadAsTheKeysDefault) {
    struct Case {
        std::string key, stored;
        int expected;
    };
    for (const Case& c :
         {Case{"HTTPS", "abc", 1}, Case{"HTTPS", " 0 ", 0}, Case{"HTTPS", "3", 1},
          Case{"GuardaPassword", "", 1}, Case{"GuardaPassword", "0.5", 1},
          Case{"WebmailLogin", "yes", 0}, Case{"Ventana", "2", 2}, Case{"Sonido", "-1", 0},
          Case{"AutoRun", "abc", 1}, Case{"AutoRun", "0", 0}, Case{"mailtoHandler", "-1", 1},
          Case{"mailtoHandler", "99999999999999999999999", 1}, Case{"mailtoHandler", "true", 0},
          Case{"WhiteList", "2", 1}, Case{"WhiteList", " 1", 1}}) {
        SCOPED_TRACE(c.key + "=[" + c.stored + "]");
        FakeSettingsStore store;
        store.Put(c.key, c.stored);
        SettingsHarness f;
        f.Restore(store);
        f.Save(store);
        EXPECT_EQ(store.Value(c.key), std::to_string(c.expected));
    }
}

// Notes each integration call with the number of keys written before it; the mail
// handler mark is set to what the registry says.
struct RecordingIntegration final : SettingsIntegration {
    explicit RecordingIntegration(const FakeSettingsStore& s) : store(s) {}
    void SyncMailHandlerMark(TrayMenus& menus) override {
        Note("Sync");
        menus.mnuPopWinSetupMailtoHandler.checked = true;
    }
    void UpdateShortcuts(int mode) override { Note("Shortcuts" + std::to_string(mode)); }
    void RawSaveRegistry(int mode) override { Note("Registry" + std::to_string(mode)); }
    void Note(const std::string& call) {
        calls.push_back(call + "@" + std::to_string(store.writes.size()));
    }
    const FakeSettingsStore& store;
    std::vector<std::string> calls;
};

TEST(SaveTNSettingsTest, WritesKeysInOrderThenDrivesTheIntegration) {
    using Calls = std::vector<std::string>;
    for (const auto& [mode, calls] : {std::pair{0, Calls{"Shortcuts0@12", "Registry0@12"}},
                                      {1, Calls{"Shortcuts1@12", "Registry1@12"}},
                                      {2, Calls{"Sync@9", "Shortcuts2@12", "Registry2@12"}}}) {
        SCOPED_TRACE(mode);
        FakeSettingsStore store;
        RecordingIntegration integration(store);
        SettingsHarness f;
        SaveTNSettings(mode, f.window, f.menus, store, f.log, integration);
        EXPECT_EQ(store.writes, Calls({"TovelaHost", "HTTPS", "Username", "GuardaPassword",
                                       "Password", "WebmailLogin", "Ventana", "Sonido", "AutoRun",
                                       "mailtoHandler", "Filtros", "WhiteList"}));
        EXPECT_EQ(integration.calls, calls);
        EXPECT_EQ(store.Value("mailtoHandler"), mode == 2 ? "1" : "0");
        EXPECT_EQ(f.log.lines, Calls({"SaveTNSettings.Enter", "SaveTNSettings.Exit"}));
    }
}

TEST(SaveTNSettingsTest, UncheckedSavePasswordStoresNoPassword) {
    FakeSettingsStore store;
    SettingsHarness f;
    f.EnterPassword("secret");
    f.Save(store);
    EXPECT_EQ(store.Value("Password"), "");
    EXPECT_EQ(store.Value("GuardaPassword"), "0");
}

// Any password, in either base, comes back exactly from a save and a later start.
TEST(SaveTNSettingsTest, RandomPasswordsRoundTripThroughTheStore) {
    const std::vector<std::string> pieces = {"0", "00", "~",    "{", "\\", "\"", "|",
                                             " ", "パ", "日本", "😀", "🔑",  "é",  "text:"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(0, 24), ascii(' ', '~');
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    int scrambled = 0;
    for (int round = 0; round < 400; ++round) {
        std::string password;
        for (int n = length(random); n > 0; --n) {
            if (n % 3 == 0)
                password += pieces[pick(random)];
            else
                password += static_cast<char>(ascii(random));
        }
        const int webmail = round % 2;
        SCOPED_TRACE("[" + password + "] webmail " + std::to_string(webmail));
        FakeSettingsStore store;
        SettingsHarness saving;
        saving.window.SetCheck(ControlId::chkGuardaPassword, kChecked);
        saving.window.SetCheck(ControlId::chkWebmailLogin, webmail);
        saving.EnterPassword(password);
        saving.Save(store);
        scrambled += store.Value("Password")->starts_with("text:") ? 0 : 1;
        SettingsHarness restored;
        restored.Restore(store);
        ASSERT_EQ(restored.sPassword, password);
    }
    EXPECT_GT(scrambled, 20);  // the scrambled form must stay the usual one
}

}  // namespace
}  // namespace tovela::testing

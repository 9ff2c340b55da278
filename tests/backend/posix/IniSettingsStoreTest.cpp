#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/FileDebugLog.h"
#include "platform/posix/IniSettingsStore.h"

namespace tovela::posix {
namespace {

namespace fs = std::filesystem;

class IniSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tovela-ini-" + std::to_string(getpid()));
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string FileText() {
        std::ifstream in(folder / "NotificadorTovela" / "Settings.ini", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path folder;
};

TEST_F(IniSettingsStoreTest, ValuesRoundTripExactlyAndKeepTheirOrder) {
    IniSettingsStore store(folder.string());
    EXPECT_EQ(store.GetSetting("NotificadorTovela", "Settings", "HTTPS"), std::nullopt);
    const std::pair<const char*, const char*> values[] = {
        {"TovelaHost", "mail.example.com"},
        {"Filtros", "迷惑メール|^Spam\\d+$|a=b"},
        {"Password", "text:  two\r\nlines\\n "},
        {"Username", ""},
    };
    for (auto [key, value] : values) store.SaveSetting("NotificadorTovela", "Settings", key, value);
    store.SaveSetting("NotificadorTovela", "Settings", "TovelaHost", "other.example.com");

    IniSettingsStore reader(folder.string());
    EXPECT_EQ(reader.GetSetting("NotificadorTovela", "Settings", "HTTPS"), std::nullopt);
    EXPECT_EQ(reader.GetSetting("NotificadorTovela", "Settings", "TovelaHost"),
              "other.example.com");
    for (auto [key, value] : values) {
        if (std::string(key) == "TovelaHost") continue;
        EXPECT_EQ(reader.GetSetting("NotificadorTovela", "Settings", key), std::string(value))
            << key;
    }
    EXPECT_EQ(FileText(),
              "[Settings]\nTovelaHost=other.example.com\nFiltros=迷惑メール|^Spam\\\\d+$|a=b\n"
              "Password=text:  two\\r\\nlines\\\\n \nUsername=\n");
}

TEST_F(IniSettingsStoreTest, ReadsHandWrittenFiles) {
    fs::create_directories(folder / "NotificadorTovela");
    std::ofstream(folder / "NotificadorTovela" / "Settings.ini")
        << "; written by hand\r\n[Other]\r\nHTTPS=0\r\n[Settings]\r\nHTTPS=1\r\nbroken line\r\n"
           "Sonido=0\r\nSonido=1";
    IniSettingsStore store(folder.string());
    EXPECT_EQ(store.GetSetting("NotificadorTovela", "Settings", "HTTPS"), "1");
    EXPECT_EQ(store.GetSetting("NotificadorTovela", "Settings", "Sonido"), "1");
}

// The settings hold the password and the trace holds whole exchanges: both stay private to
// their owner, also when they were made readable by others (the usual umask, a `touch`).
TEST_F(IniSettingsStoreTest, SettingsAndTraceAreReadableByTheOwnerOnly) {
    const mode_t oldMask = umask(022);
    const fs::path settings = folder / "NotificadorTovela" / "Settings.ini";
    const fs::path trace = folder / "debug.log";
    IniSettingsStore store(folder.string());
    store.SaveSetting("NotificadorTovela", "Settings", "Password", "text:secret");
    EXPECT_EQ(fs::status(settings).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    fs::permissions(settings, fs::perms::others_read | fs::perms::group_read,
                    fs::perm_options::add);
    std::ofstream(trace).put('\n');
    fs::permissions(trace, fs::perms::others_read, fs::perm_options::add);
    store.SaveSetting("NotificadorTovela", "Settings", "Username", "taro");
    FileDebugLog(trace, [] { return std::string(); }).Write("line");
    umask(oldMask);

    for (const fs::path& file : {settings, trace}) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(store.GetSetting("NotificadorTovela", "Settings", "Password"), "text:secret");
}

}  // namespace
}  // namespace tovela::posix

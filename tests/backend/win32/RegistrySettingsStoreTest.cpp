#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/RegistrySettingsStore.h"

namespace tovela::win32 {
namespace {

// Each test keeps its values under an application name of its own and removes it afterwards.
class RegistrySettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteAppKey(); }
    void TearDown() override { DeleteAppKey(); }

    void DeleteAppKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey); }

    // Writes a value as another program (or an earlier installation) might have.
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSectionKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The value as the registry holds it, read without the store.
    std::optional<std::wstring> ReadRaw(const wchar_t* name) {
        wchar_t buffer[256] = {};
        DWORD bytes = sizeof buffer;
        if (RegGetValueW(HKEY_CURRENT_USER, kSectionKey, name, RRF_RT_REG_SZ, nullptr, buffer,
                         &bytes) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(buffer);
    }

    static constexpr const wchar_t* kAppKey =
        L"Software\\VB and VBA Program Settings\\TovelaBackendTest";
    static constexpr const wchar_t* kSectionKey =
        L"Software\\VB and VBA Program Settings\\TovelaBackendTest\\Settings";
    static constexpr const char* kApp = "TovelaBackendTest";
    RegistrySettingsStore store;
};

TEST_F(RegistrySettingsStoreTest, ValuesRoundTripAsUtf16WhereEarlierInstallationsKeptThem) {
    const std::pair<const char*, const char*> values[] = {
        {"TovelaHost", "mail.example.com"},
        {"Filtros", "迷惑メール|^Spam\\d+$|a=b"},
        {"Password", "text:  two\r\nlines 😀 "},
        {"Username", ""},
        {"件名", "値"},
    };
    for (auto [key, value] : values) store.SaveSetting(kApp, "Settings", key, value);
    store.SaveSetting(kApp, "Settings", "TovelaHost", "other.example.com");

    RegistrySettingsStore reader;
    for (auto [key, value] : values) {
        SCOPED_TRACE(key);
        const std::string expected =
            std::string(key) == "TovelaHost" ? "other.example.com" : std::string(value);
        EXPECT_EQ(reader.GetSetting(kApp, "Settings", key), expected);
    }
    EXPECT_EQ(ReadRaw(L"Filtros"), L"迷惑メール|^Spam\\d+$|a=b");
    EXPECT_EQ(ReadRaw(L"件名"), L"値");
    EXPECT_EQ(ReadRaw(L"TovelaHost"), L"other.example.com");
}

TEST_F(RegistrySettingsStoreTest, MissingKeysAndValuesReadAsAbsent) {
    EXPECT_EQ(store.GetSetting(kApp, "Settings", "HTTPS"), std::nullopt);
    store.SaveSetting(kApp, "Settings", "HTTPS", "1");
    EXPECT_EQ(store.GetSetting(kApp, "Settings", "Username"), std::nullopt);
    EXPECT_EQ(store.GetSetting(kApp, "Other", "HTTPS"), std::nullopt);
    EXPECT_EQ(store.GetSetting(kApp, "Settings", "HTTPS"), "1");
}

// Values not written by this program: text without its NUL, expandable text (read as
// stored), and other value types, which are not settings.
TEST_F(RegistrySettingsStoreTest, ValuesWrittenByOthers) {
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    WriteRaw(L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
    WriteRaw(L"Empty", REG_SZ, L"", 0);
    const wchar_t expand[] = L"%APPDATA%\\x";
    WriteRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
    const DWORD number = 1;
    WriteRaw(L"Number", REG_DWORD, &number, sizeof number);
    const BYTE bytes[] = {'h', 0, 'i', 0, 0, 0};
    WriteRaw(L"Binary", REG_BINARY, bytes, sizeof bytes);

    const std::pair<const char*, std::optional<std::string>> reads[] = {
        {"Unterminated", "abc"},    {"Empty", ""},
        {"Expand", "%APPDATA%\\x"}, {"Number", std::nullopt},
        {"Binary", std::nullopt},
    };
    for (const auto& [key, value] : reads) {
        SCOPED_TRACE(key);
        EXPECT_EQ(store.GetSetting(kApp, "Settings", key), value);
    }
}

}  // namespace
}  // namespace tovela::win32

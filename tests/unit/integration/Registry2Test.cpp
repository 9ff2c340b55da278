#include "integration/Registry2.h"

#include <gtest/gtest.h>

#include "fakes/FakeRegistry.h"
#include "fakes/RecordingDebugLog.h"

namespace tovela::testing {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;

class Registry2Test : public ::testing::Test {
protected:
    FakeRegistry registry;
    RecordingDebugLog log;
    Registry2 reg{registry, log};
};

TEST_F(Registry2Test, GetRegValueReadsTextAndDwordsAndNothingElse) {
    registry.PutDword("HKCU\\T", "one", 1);
    registry.PutDword("HKCU\\T", "zero", 0);
    registry.PutDword("HKCU\\T", "big", 256);
    registry.PutDword("HKCU\\T", "top", 0xFFFFFFFF);
    registry.PutText("HKCU\\T", "text", "設定 a");
    registry.PutText("HKCU\\T", "", "default");
    registry.PutText("HKCU\\T", "empty", "");
    registry.Put("HKCU\\T", "expand", {kRegExpandSz, FakeRegistry::Utf16Le("%APPDATA%\\x")});
    registry.Put("HKCU\\T", "binary", {kRegBinary, "\x01\x02"});
    registry.Put("HKCU\\T", "huge", {kRegSz, FakeRegistry::Utf16Le(std::string(600, 'x'))});
    registry.Put("HKCU\\T", "noNul", {kRegSz, std::string("a\0b\0", 4)});
    struct Case {
        const char* key;
        const char* name;
        const char* expected;
    } cases[] = {
        {"T", "one", "1"},       {"T", "zero", "0"},
        {"T", "big", "256"},     {"T", "top", "4294967295"},
        {"T", "TEXT", "設定 a"}, {"T", "", "default"},
        {"T", "empty", ""},      {"T", "expand", "%APPDATA%\\x"},
        {"T", "binary", ""},     {"T", "huge", ""},
        {"T", "noNul", "ab"},    {"T", "missing", ""},
        {"Missing", "one", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.name);
        EXPECT_EQ(reg.GetRegValue(HKCU, c.key, c.name), c.expected);
        EXPECT_EQ(log.lines.back(),
                  std::string("GetRegValue HKEY_CURRENT_USER, ") + c.key + ", " + c.name);
    }
}

TEST_F(Registry2Test, SetRegValueNeedsTheKeyAndKeepsAnExistingType) {
    EXPECT_FALSE(reg.SetRegValue(HKCU, "Missing", "v", "1"));
    EXPECT_EQ(log.lines.back(), "SetRegValue HKEY_CURRENT_USER, Missing, v, 1");
    EXPECT_FALSE(registry.HasKey("HKCU\\Missing"));

    reg.CreateRegistryKey(HKCU, "A\\B");
    EXPECT_TRUE(registry.HasKey("HKCU\\A"));
    EXPECT_TRUE(reg.SetRegValue(HKCU, "a\\b", "n", "42"));
    EXPECT_EQ(registry.Value("HKCU\\A\\B", "n"), "42") << "a new value is text, even a number";
    registry.PutDword("HKCU\\A\\B", "d", 7);
    EXPECT_TRUE(reg.SetRegValue(HKCU, "A\\B", "d", "256 px"));
    EXPECT_EQ(registry.Value("HKCU\\A\\B", "d"), "dword:256");
    EXPECT_TRUE(reg.SetRegValue(HKCU, "A\\B", "d", "none"));
    EXPECT_EQ(registry.Value("HKCU\\A\\B", "d"), "dword:0");
    registry.Put("HKCU\\A\\B", "b", {kRegBinary, "\x01"});
    EXPECT_TRUE(reg.SetRegValue(HKCU, "A\\B", "b", "text"));
    EXPECT_EQ(reg.GetRegValue(HKCU, "A\\B", "b"), "text");

    registry.denied.insert(HKCU);
    EXPECT_FALSE(reg.SetRegValue(HKCU, "A\\B", "n", "x"));
}

TEST_F(Registry2Test, DeleteRegistryKeyTakesOnlyALeafKey) {
    reg.CreateRegistryKey(HKCU, "Top\\Leaf");
    reg.DeleteRegistryKey(HKCU, "Top");
    EXPECT_TRUE(registry.HasKey("HKCU\\Top"));
    reg.DeleteValue(HKCU, "Top", "absent");
    reg.DeleteRegistryKey(HKCU, "Top\\Leaf");
    reg.DeleteRegistryKey(HKCU, "Top");
    EXPECT_FALSE(registry.HasKey("HKCU\\Top"));
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "CreateRegistryKey HKEY_CURRENT_USER, Top\\Leaf",
                             "DeleteRegistryKey HKEY_CURRENT_USER, Top",
                             "DeleteValue HKEY_CURRENT_USER, Top, absent",
                             "DeleteRegistryKey HKEY_CURRENT_USER, Top\\Leaf",
                             "DeleteRegistryKey HKEY_CURRENT_USER, Top",
                         }));
}

TEST(RegistryRootNameTest, NamesThePredefinedRoots) {
    EXPECT_EQ(RegistryRootName(RegistryRoot::ClassesRoot), "HKEY_CLASSES_ROOT");
    EXPECT_EQ(RegistryRootName(RegistryRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(RegistryRootName(RegistryRoot::Users), "HKEY_USERS");
    EXPECT_EQ(RegistryRootName(RegistryRoot::CurrentConfig), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(RegistryRootName(RegistryRoot::PerformanceData), "HKEY_??");
}

}  // namespace
}  // namespace tovela::testing

#pragma once

// What the program relies on from a registry back end, checked the same way against the
// Windows registry and the Linux file that stands in for it.
#include <gtest/gtest.h>

#include <string>

#include "app/DebugLog.h"
#include "integration/Registry2.h"
#include "platform/Registry.h"

namespace tovela::testing {

// `base` is a scratch key under HKEY_CURRENT_USER that does not exist yet.
inline void CheckRegistryConformance(Registry& registry, const std::string& base) {
    constexpr auto HKCU = RegistryRoot::CurrentUser;
    NullDebugLog log;
    Registry2 reg(registry, log);

    EXPECT_EQ(registry.OpenKey(HKCU, base), kRegNotFound);
    EXPECT_FALSE(reg.SetRegValue(HKCU, base, "v", "1")) << "a missing key is not created";
    EXPECT_EQ(registry.CreateKey(HKCU, base + "\\Sub\\Leaf"), kRegOk);
    EXPECT_EQ(registry.OpenKey(HKCU, base), kRegOk) << "parents are made on the way";

    // Texts, with the names in another letter case.
    EXPECT_TRUE(reg.SetRegValue(HKCU, base, "", "既定 \"quoted\" \\ back"));
    EXPECT_TRUE(reg.SetRegValue(HKCU, base, "Name", "42"));
    EXPECT_EQ(reg.GetRegValue(HKCU, base, ""), "既定 \"quoted\" \\ back");
    std::string upper = base;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    EXPECT_EQ(reg.GetRegValue(HKCU, upper, "NAME"), "42");
    RegistryData data;
    EXPECT_EQ(registry.QueryValue(HKCU, base, "name", 1024, data), kRegOk);
    EXPECT_EQ(data.type, kRegSz) << "a new value is text, even a number";
    EXPECT_EQ(data.bytes, std::string("4\0"
                                      "2\0\0\0",
                                      6));
    EXPECT_EQ(registry.QueryValue(HKCU, base, "name", 2, data), kRegMoreData);
    EXPECT_EQ(data.type, kRegSz);

    // Numbers keep their type.
    for (std::uint32_t number : {1u, 0u, 256u}) {
        SCOPED_TRACE(number);
        std::string bytes;
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>(number >> shift));
        ASSERT_EQ(registry.SetValue(HKCU, base, "dw", {kRegDword, bytes}), kRegOk);
        EXPECT_EQ(reg.GetRegValue(HKCU, base, "dw"), std::to_string(number));
    }
    EXPECT_TRUE(reg.SetRegValue(HKCU, base, "dw", "7"));
    EXPECT_EQ(registry.QueryValue(HKCU, base, "dw", 1024, data), kRegOk);
    EXPECT_EQ(data.type, kRegDword);
    ASSERT_EQ(registry.SetValue(HKCU, base, "bin", {kRegBinary, std::string("\x00\x01", 2)}),
              kRegOk);
    EXPECT_EQ(reg.GetRegValue(HKCU, base, "bin"), "");

    // Only leaf keys go.
    EXPECT_NE(registry.DeleteKey(HKCU, base + "\\Sub"), kRegOk);
    EXPECT_EQ(registry.OpenKey(HKCU, base + "\\Sub"), kRegOk);
    EXPECT_EQ(registry.DeleteKey(HKCU, base + "\\sub\\leaf"), kRegOk);
    EXPECT_EQ(registry.DeleteKey(HKCU, base + "\\Sub"), kRegOk);
    EXPECT_NE(registry.DeleteKey(HKCU, base + "\\Sub"), kRegOk);
    EXPECT_EQ(registry.DeleteValue(HKCU, base, "Name"), kRegOk);
    EXPECT_NE(registry.DeleteValue(HKCU, base, "Name"), kRegOk);
    EXPECT_EQ(reg.GetRegValue(HKCU, base, "Name"), "");
    for (const char* name : {"", "dw", "bin"}) registry.DeleteValue(HKCU, base, name);
    EXPECT_EQ(registry.DeleteKey(HKCU, base), kRegOk);
    EXPECT_EQ(registry.OpenKey(HKCU, base), kRegNotFound);
}

}  // namespace tovela::testing

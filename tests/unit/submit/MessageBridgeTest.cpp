#include <gtest/gtest.h>

#include "submit/MapiMessageMarkers.h"
#include "submit/MessageBridge.h"

namespace tovela {
namespace {

std::string M(std::size_t index) {
    return std::string(kMapiMarkers[index]);
}

TEST(MessageBridgeTest, SectionsAreReadInMarkerOrder) {
    struct Case {
        const char* name;
        std::string text;
        BridgedMessage expected;
    } cases[] = {
        {"subject and body alone",
         M(4) + " Hi " + M(5) + " body\r\n",
         {.sSubject = "Hi", .sBody = "body\r\n"}},
        {"a body holding a later marker ends there",
         M(4) + "S" + M(5) + "one " + M(6) + "C:\\t\\a.tmp|Report.pdf|",
         {.sFiles = "\"C:\\t\\a.tmp\"",
          .sFileNames = "\"Report.pdf\"",
          .sSubject = "S",
          .sBody = "one"}},
        {"text before the first marker and missing sections",
         "\xEF\xBB\xBF"
         "ignored" +
             M(0) + "Taro" + M(1) + "t@x" + M(2) + "Ann|smtp:a@x|" + M(3) + "(8)",
         {.sFromAddr = "t@x",
          .sFromName = "Taro",
          .sRecipients = "Ann|smtp:a@x|",
          .sMapiFlags = "(8)"}},
        {"an earlier section's marker does not end a later section",
         M(5) + "b" + M(4) + "s" + M(6) + "",
         {.sSubject = "s", .sBody = "b" + M(4) + "s"}},
        {"blank paths are skipped with their names, items kept as they are",
         M(6) + "C:\\a b.txt| A |  |ghost|C:\\c.txt",
         {.sFiles = "\"C:\\a b.txt\" \"C:\\c.txt\"", .sFileNames = "\" A \" \"\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BridgedMessage m = ParseMapiMessage(c.text);
        EXPECT_EQ(m.sFiles, c.expected.sFiles);
        EXPECT_EQ(m.sFileNames, c.expected.sFileNames);
        EXPECT_EQ(m.sFromAddr, c.expected.sFromAddr);
        EXPECT_EQ(m.sFromName, c.expected.sFromName);
        EXPECT_EQ(m.sRecipients, c.expected.sRecipients);
        EXPECT_EQ(m.sSubject, c.expected.sSubject);
        EXPECT_EQ(m.sBody, c.expected.sBody);
        EXPECT_EQ(m.sMapiFlags, c.expected.sMapiFlags);
    }
}

TEST(MessageBridgeTest, OnlyEnclosedFlagsWithBitEightAskForTheDialog) {
    const std::pair<const char*, bool> cases[] = {
        {"(8)", true}, {"[9]", true},  {"(1)", false}, {"", false},
        {"8", false},  {"(x)", false}, {"(24)", true}, {"( 8)", true},
    };
    for (const auto& [flags, dialog] : cases) EXPECT_EQ(AsksForDialog(flags), dialog) << flags;
}

}  // namespace
}  // namespace tovela

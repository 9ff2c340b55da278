#include <gtest/gtest.h>

#include "submit/MapiMessageOptions.h"

namespace tovela {
namespace {

TEST(MapiMessageOptionsTest, BuildsTheMessageFromTheCommandLine) {
    const auto request = ParseMapiToolArguments(
        {"--from",          "me@x", "--from-name", "Me",       "--to",
         "Ann Lee <ann@x>", "--cc", "bob@x",       "--bcc",    " Boss <boss@x> ",
         "--subject",       "S",    "--body",      "B",        "--attach",
         "/a b.txt",        "--as", "A.txt",       "--attach", "/c.txt",
         "--flags",         "0x1",  "--dialog"});
    ASSERT_EQ(request.error, "");
    const MapiMessageFields& m = request.message;
    EXPECT_EQ(m.fromAddress, "me@x");
    EXPECT_EQ(m.fromName, "Me");
    ASSERT_EQ(m.recipients.size(), 3u);
    EXPECT_EQ(m.recipients[0].name, "Ann Lee");
    EXPECT_EQ(m.recipients[0].address, "ann@x");
    EXPECT_EQ(m.recipients[1].name, "");
    EXPECT_EQ(m.recipients[1].kind, MapiRecipientKind::Cc);
    EXPECT_EQ(m.recipients[2].name, "Boss");
    EXPECT_EQ(m.recipients[2].address, "boss@x");
    EXPECT_EQ(m.recipients[2].kind, MapiRecipientKind::Bcc);
    EXPECT_EQ(m.subject, "S");
    EXPECT_EQ(m.body, "B");
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(m.attachments[0].name, "A.txt");
    EXPECT_EQ(m.attachments[1].path, "/c.txt");
    EXPECT_EQ(m.attachments[1].name, "");
    EXPECT_EQ(m.flags, 9u);
    EXPECT_EQ(ParseMapiToolArguments({"--body-file", "/b.txt"}).bodyFile, "/b.txt");
    EXPECT_TRUE(ParseMapiToolArguments({"--help"}).help);
}

TEST(MapiMessageOptionsTest, WrongArgumentsSendNothing) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {"value missing", {"--to"}, "--to needs a value"},
        {"unknown option", {"--too", "a@x"}, "unknown argument: --too"},
        {"stray word", {"a@x"}, "unknown argument: a@x"},
        {"name without attachment",
         {"--as", "A.txt"},
         "--as names the attachment given just before it"},
        {"two names",
         {"--attach", "/a", "--as", "A", "--as", "B"},
         "--as names the attachment given just before it"},
        {"two bodies",
         {"--body", "B", "--body-file", "/b"},
         "give the body once, with --body or --body-file"},
        {"flags not a number", {"--flags", "8x"}, "--flags takes a number: 8x"},
        {"flags empty hex", {"--flags", "0x"}, "--flags takes a number: 0x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseMapiToolArguments(c.args).error, c.error);
    }
}

}  // namespace
}  // namespace tovela

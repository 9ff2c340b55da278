#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

#include "session/RegEx.h"

namespace tovela {
namespace {

struct TestCase {
    const char* name;
    std::string pattern;
    std::string text;
    bool ignoreCase;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const TestCase& c) {
    return out << c.pattern;
}

class RegExTestTest : public ::testing::TestWithParam<TestCase> {};

TEST_P(RegExTestTest, Matches) {
    const TestCase& c = GetParam();
    EXPECT_EQ(RegExTest(c.pattern, c.text, c.ignoreCase), c.matches);
}

const TestCase kTestCases[] = {
    {"JapaneseFolderName", "受信箱", "受信箱", true, true},
    {"TranslatedNameIsNotTheServerName", "inbox", "受信箱", true, false},
    {"IgnoreCase", "projects", "Projects", true, true},
    {"CaseSensitive", "projects", "Projects", false, false},
    {"IgnoreCaseLatin1", "société", "SOCIÉTÉ", true, true},
    {"IgnoreCaseLatinExtended", "łódź", "ŁÓDŹ", true, true},
    {"IgnoreCaseCyrillic", "почта", "ПОЧТА", true, true},
    {"IgnoreCaseGreek", "άλφα", "ΆΛΦΑ", true, true},
    {"IgnoreCaseFullwidth", "ｔｏｖｅｌａ", "ＴＯＶＥＬＡ", true, true},
    {"IgnoreCaseRange", "^[à-ÿ]+$", "ÉÈ", true, true},
    {"CaseSensitiveNonAscii", "société", "SOCIÉTÉ", false, false},
    {"AlternationOfFilters", "受信箱|迷惑メール", "迷惑メール", true, true},
    {"UnanchoredSearch", "box", "Inbox", false, true},
    {"DotIsOneJapaneseCharacter", "^迷.メール$", "迷惑メール", false, true},
    {"ClassOfJapaneseCharacters", "^[受信]+箱$", "受信箱", false, true},
    {"CaretOnlyAtTextStart", "^b", "a\nb", false, false},
    {"DollarOnlyAtTextEnd", "a$", "a\nb", false, false},
    {"DollarNotBeforeFinalNewline", "^abc$", "abc\n", false, false},
    {"DotSkipsLineFeed", "a.b", "a\nb", false, false},
    {"DotSkipsCarriageReturn", "a.b", "a\rb", false, false},
    {"LineBreakEscapes", "x\\r\\ny", "x\r\ny", false, true},
    {"CountedRepeatUpperBound", "^[0-9]{1,2}:", "123:", false, false},
    {"CountedRepeatWithinBounds", "^[0-9]{1,2}:", "12:", false, true},
    {"EmptyPatternMatchesEmptyText", "", "", true, true},
    {"EmptyPatternLetsNothingThrough", "", "Inbox", true, false},
    {"UnclosedGroupIsNoMatch", "(受信箱", "(受信箱", true, false},
    {"UnclosedClassIsNoMatch", "[a-", "[a-", true, false},
    {"BadRepeatIsNoMatch", "*x", "*x", true, false},
};
INSTANTIATE_TEST_SUITE_P(Cases, RegExTestTest, ::testing::ValuesIn(kTestCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct ReplaceCase {
    const char* name;
    std::string pattern;
    std::string text;
    std::string replacement;
    bool global;
    bool ignoreCase;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const ReplaceCase& c) {
    return out << c.pattern;
}

class RegExReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(RegExReplaceTest, Replaces) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(RegExReplace(c.pattern, c.text, c.replacement, c.ignoreCase, c.global), c.expected);
}

const ReplaceCase kReplaceCases[] = {
    {"UploadIds", ".*200,'2','([0-9a-f\\-\\:\\,]{10,})'.*",
     "<html><body onload=\"window.parent.loaded(200,'2','ab12-cd:34,ef56-78:90');\"></body>", "$1",
     true, false, "ab12-cd:34,ef56-78:90"},
    {"UploadIdsAbsentLeavesText", ".*200,'1','([^']+)'.*", "<html>413, 'too large'</html>", "$1",
     true, false, "<html>413, 'too large'</html>"},
    {"FirstMatchOnly", "a", "banana", "o", false, false, "bonana"},
    {"EveryMatch", "a", "banana", "o", true, false, "bonono"},
    {"EmptyMatchesBetweenCharacters", "x*", "abc", "-", true, false, "-a-b-c-"},
    {"EmptyPatternInsertsAtTheStart", "", "abc", "-", false, false, "-abc"},
    {"IgnoreCase", "inbox", "My INBOX", "受信箱", true, true, "My 受信箱"},
    {"CaseSensitiveLeavesText", "inbox", "My INBOX", "受信箱", true, false, "My INBOX"},
    {"JapaneseInTextAndReplacement", "メール", "迷惑メール箱", "mail", true, false, "迷惑mail箱"},
    {"DollarForms", "(b)", "ab", "[$2|$1|$&|$$|$x]", true, false, "a[$2|b|b|$|$x]"},
    {"UnmatchedGroupIsEmpty", "(a)|(b)", "b", "<$1$2>", true, false, "<b>"},
    {"BackslashesAreLiteral", "b", "ab", "\\1\\n", true, false, "a\\1\\n"},
    {"BadPatternLeavesText", "([0-9]", "12:00", "x", true, false, "12:00"},
    {"NoMatchKeepsMalformedBytes", "z", "a\xff\xfe", "y", true, false, "a\xff\xfe"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RegExReplaceTest, ::testing::ValuesIn(kReplaceCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The compiled pattern is kept between calls; a change of flags alone must compile anew.
TEST(RegExCache, FlagsArePartOfTheCachedPattern) {
    EXPECT_TRUE(RegExTest("abc", "xABCx", true));
    EXPECT_FALSE(RegExTest("abc", "xABCx", false));
    EXPECT_TRUE(RegExTest("abc", "xABCx", true));
    EXPECT_EQ(RegExReplace("abc", "ABC", "d", true, true), "d");
    EXPECT_EQ(RegExReplace("abc", "ABC", "d", false, true), "ABC");
    EXPECT_FALSE(RegExTest("(", "(", false));
    EXPECT_TRUE(RegExTest("\\(", "(", false));
}

// A user's filter can be any text; exponential backtracking must end as "no match".
TEST(RegExBacktracking, CatastrophicPatternEndsAsNoMatch) {
    const std::string text = std::string(40, 'a') + "!";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RegExTest("^(a+)+$", text, false));
    EXPECT_EQ(RegExReplace("(a|aa)+$", text, "x", false, true), text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace tovela

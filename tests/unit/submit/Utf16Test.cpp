#include <gtest/gtest.h>

#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

struct DecodeCase {
    const char* name;
    std::string utf8;
    std::u16string expected;
};

TEST(Utf16Test, ToUtf16ReplacesEachBadByteAndAgreesWithUtf16Length) {
    // Test texts go on with "x" or "z": no hex digit, so no escape swallows them.
    const DecodeCase cases[] = {
        {"well-formed mix", "Aé語😀", u"Aé語😀"},
        {"stray continuation", "\x80x", u"\uFFFDx"},
        {"truncated sequence", "\xE8\xAAx", u"\uFFFD\uFFFDx"},
        {"truncated at end", "A\xF0\x9F\x98", u"A\uFFFD\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"highest scalar", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"invalid lead", "\xF8\xFF", u"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToUtf16(c.utf8), c.expected);
        EXPECT_EQ(Utf16Length(c.utf8), c.expected.size());
    }
}

// Ansi2Utf8 is the program's name for the same conversion.
TEST(Utf16Test, FromUtf16EncodesEveryLengthAndReplacesLoneSurrogates) {
    const DecodeCase cases[] = {
        {"empty", "", u""},
        {"one byte", "A", u"A"},
        {"two bytes", "\xC3\xA9", u"é"},
        {"three bytes", "\xE8\xAA\x9E", u"語"},
        {"fullwidth yen", "\xEF\xBF\xA5", u"￥"},
        {"pair gives four bytes", "\xF0\x9F\x98\x80", u"😀"},
        {"lone high at end", "x\xEF\xBF\xBD", u"x\xD83D"},
        {"high before non-surrogate", "\xEF\xBF\xBDx", u"\xD83Dx"},
        {"reversed pair", "\xEF\xBF\xBD\xEF\xBF\xBD", u"\xDE00\xD83D"},
        {"edges of the two- and three-byte forms", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF",
         u"\x7F\x80\x7FF\x800\xFFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromUtf16(c.expected), c.utf8);
        EXPECT_EQ(Ansi2Utf8(c.expected), c.utf8);
    }
}

TEST(Utf16Test, LeftUtf16CountsUnitsAndNeverSplitsAPair) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t units;
        std::string expected;
    };
    const Case cases[] = {
        {"zero", "abc", 0, ""},
        {"before a pair", "A😀B", 1, "A"},
        {"would split a pair", "A😀B", 2, "A"},
        {"pair counts two", "A😀B", 3, "A😀"},
        {"more than there is", "A😀B", 30, "A😀B"},
        {"Japanese", "お知らせの件名です。", 9, "お知らせの件名です"},
        {"bad byte counts one", "x\xFFz", 2, "x\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LeftUtf16(c.text, c.units), c.expected);
    }
}

}  // namespace
}  // namespace tovela

#include <gtest/gtest.h>

#include "settings/PocketCrypter.h"

namespace tovela {
namespace {

const CheckBox kWebmailOff{.value = kUnchecked};
const CheckBox kWebmailOn{.value = kChecked};

TEST(ConvertBaseTest, GivesTheNumeralOrTheErrorText) {
    const std::string badChar = "Error: entrada contiene caracteres invalidos";
    const std::string badNumber = "Error: numero invalido";
    struct Case {
        std::string text;
        int from, to;
        std::string expected;
    };
    for (const Case& c :
         {Case{"", 10, 36, ""}, Case{"000", 10, 36, ""}, Case{"000123", 10, 36, "3F"},
          Case{"Z", 36, 10, "35"}, Case{"~", 95, 10, "94"}, Case{"~", 85, 10, badNumber},
          Case{"z", 36, 10, badNumber}, Case{"1日本", 85, 36, badChar},
          Case{"a\tb", 85, 36, badChar}, Case{"a日", 10, 36, badNumber}, Case{"1", 1, 36, ""},
          Case{"1", 10, 96, ""},
          // Far beyond 64 bits; computed with arbitrary-precision arithmetic.
          Case{std::string(60, '9'), 10, 36, "793M2F9FD0KQJCV18M41GD52I58JT8BRJ30V3LR"}}) {
        SCOPED_TRACE(c.text + " " + std::to_string(c.from) + "->" + std::to_string(c.to));
        EXPECT_EQ(ConvertBase(c.text, c.from, c.to, PasswordAlphabet()), c.expected);
    }
}

// Stored passwords stay readable only while the alphabet and the conversion stay exactly
// as they are; these values were computed independently of this code.
TEST(PocketCrypterTest, ScrambledFormsArePermanent) {
    EXPECT_EQ(ScramblePassword("secret", kWebmailOff), "331HG8TS");
    EXPECT_EQ(ScramblePassword("secret", kWebmailOn), "5DGRLB9S");
    EXPECT_EQ(ScramblePassword("P@ss w0rd!", kWebmailOff), "19KV74O65HTVD");
    EXPECT_EQ(ScramblePassword("P@ss~w0rd{}", kWebmailOn), "922YYOCTAHIW4L");
    EXPECT_EQ(UnscramblePassword("5DGRLB9S", kWebmailOn), "secret");
}

TEST(PocketCrypterTest, StoresScrambledOnlyWhenItReadsBackExactly) {
    struct Case {
        std::string password;
        const CheckBox& webmail;
        bool scrambled;
    };
    for (const Case& c :
         {Case{"", kWebmailOff, true}, Case{"p@ss w0rd!", kWebmailOff, true},
          Case{"a{b}|c~", kWebmailOn, true}, Case{"a{b}|c~", kWebmailOff, false},
          Case{"0secret", kWebmailOn, false}, Case{"000", kWebmailOff, false},
          Case{"パスワード1", kWebmailOn, false}, Case{"text:abc", kWebmailOn, true},
          Case{"Error: numero invalido", kWebmailOff, true},
          // Far longer than any password: kept as it is, without the slow conversion.
          Case{std::string(32'000, 'x'), kWebmailOff, false}}) {
        SCOPED_TRACE(c.password.substr(0, 40) + " base " + std::to_string(PasswordBase(c.webmail)));
        const std::string stored = StoredPasswordForm(c.password, c.webmail);
        EXPECT_EQ(stored,
                  c.scrambled ? ScramblePassword(c.password, c.webmail) : "text:" + c.password);
        EXPECT_EQ(PasswordFromStoredForm(stored, c.webmail), c.password);
    }
}

TEST(PocketCrypterTest, ReadsOnlyTheTwoStoredForms) {
    EXPECT_EQ(PasswordFromStoredForm("text:0日本 ~", kWebmailOff), "0日本 ~");
    // A value this program did not write must not turn into an error text as password.
    EXPECT_EQ(PasswordFromStoredForm("zz!", kWebmailOff), "");
    EXPECT_EQ(PasswordFromStoredForm("TEXT:abc", kWebmailOff), "");
    // An absurdly long scrambled value is unreadable rather than a minutes-long start.
    EXPECT_EQ(PasswordFromStoredForm(std::string(32'000, '7'), kWebmailOff), "");
}

}  // namespace
}  // namespace tovela

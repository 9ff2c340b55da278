#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

struct Case {
    const char* name;
    std::string input;
    std::string expected;
};

const std::string kWordStart = "=?utf-8?Q?";

// Splits QEncodeWord output back into its pieces, decoding the encoded-words, so tests can
// check what a mail reader would see piece by piece.
std::vector<std::string> DecodePieces(const std::string& encoded) {
    std::vector<std::string> pieces;
    for (std::size_t pos = 0; pos < encoded.size();) {
        if (encoded.compare(pos, kWordStart.size(), kWordStart) != 0) {
            const std::size_t next = encoded.find(kWordStart, pos);
            pieces.push_back(encoded.substr(pos, next - pos));
            pos = next == std::string::npos ? encoded.size() : next;
            continue;
        }
        const std::size_t end = encoded.find("?=", pos + kWordStart.size());
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated encoded-word";
            break;
        }
        std::string piece;
        for (std::size_t i = pos + kWordStart.size(); i < end; ++i) {
            if (encoded[i] == '_') {
                piece.push_back(' ');
            } else if (encoded[i] == '=') {
                piece.push_back(
                    static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16)));
                i += 2;
            } else {
                piece.push_back(encoded[i]);
            }
        }
        pieces.push_back(piece);
        pos = end + 2;
    }
    return pieces;
}

TEST(TextEncodingsTest, QEncodeWord) {
    const std::string a68(68, 'a'), a69(69, 'a'), a70(70, 'a');
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII with blank stays", "report 2.pdf", "report 2.pdf"},
        {"accented name", "é.txt", "=?utf-8?Q?=C3=A9=2Etxt?="},
        {"blank and punctuation", "é a_b-c=d", "=?utf-8?Q?=C3=A9_a=5Fb=2Dc=3Dd?="},
        {"70 bytes are one word", "é" + a68, "=?utf-8?Q?=C3=A9" + a68 + "?="},
        {"71st byte alone", a70 + "\xA9", a70 + "=?utf-8?Q?=A9?="},
        {"no split of two bytes", a69 + "é", a69 + "=?utf-8?Q?=C3=A9?="},
        {"no split of four bytes", a68 + "😀", a68 + "=?utf-8?Q?=F0=9F=98=80?="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QEncodeWord(c.input), c.expected);
    }
}

TEST(TextEncodingsTest, QEncodeWordCutsLongNamesAtCharacterBoundaries) {
    // Shifting the name by a few ASCII bytes moves every cut to a different place in the
    // three-byte characters.
    for (const std::string prefix : {"", "a", "ab", "abc"}) {
        std::string name = prefix;
        for (int i = 0; i < 40; ++i) name += i % 7 == 0 ? "😀" : "資料";
        name += " 最終版.pdf";
        SCOPED_TRACE("prefix \"" + prefix + "\"");
        const std::string encoded = QEncodeWord(name);
        EXPECT_EQ(encoded.find(' '), std::string::npos);

        std::string joined;
        for (const std::string& piece : DecodePieces(encoded)) {
            EXPECT_LE(piece.size(), 70u);
            EXPECT_EQ(FromUtf16(ToUtf16(piece)), piece) << "piece is not whole characters";
            joined += piece;
        }
        EXPECT_EQ(joined, name);
    }
}

TEST(TextEncodingsTest, QEncodeWordAlwaysProgresses) {
    // Stray continuation bytes have no boundary to respect; cut every 70 bytes anyway.
    const std::vector<std::string> garbage = DecodePieces(QEncodeWord(std::string(150, '\x80')));
    ASSERT_EQ(garbage.size(), 3u);
    EXPECT_EQ(garbage[2].size(), 10u);

    // A long input is cut in a loop: 23 three-byte characters fit in each piece.
    std::string huge;
    for (int i = 0; i < 200000; ++i) huge += "語";
    EXPECT_EQ(DecodePieces(QEncodeWord(huge)).size(), 8696u);
}

TEST(TextEncodingsTest, HtmlEscape) {
    const Case cases[] = {
        {"ampersand first", "a&lt;b", "a&amp;lt;b"},
        {"quotes stay", "\"x\" 'y'", "\"x\" 'y'"},
        {"all three", "<a>&</a>", "&lt;a&gt;&amp;&lt;/a&gt;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HtmlEscape(c.input), c.expected);
    }
}

TEST(TextEncodingsTest, Base64OfTextUsesUtf16LittleEndian) {
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII", "A", "QQA="},
        {"Japanese", "語", "noo="},
        {"surrogate pair", "😀", "PdgA3g=="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Base64Encode(c.input), c.expected);
        EXPECT_EQ(Base64Decode(c.expected), c.input);
    }
}

TEST(TextEncodingsTest, Base64OfBytesMatchesTheStandardVectors) {
    const Case cases[] = {
        {"0", "", ""},
        {"1", "f", "Zg=="},
        {"2", "fo", "Zm8="},
        {"3", "foo", "Zm9v"},
        {"4", "foob", "Zm9vYg=="},
        {"5", "fooba", "Zm9vYmE="},
        {"6", "foobar", "Zm9vYmFy"},
        {"high bytes and NUL", std::string("\xFB\xFF\x00", 3), "+/8A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Base64EncodeBytes(c.input), c.expected);
        EXPECT_EQ(Base64DecodeBytes(c.expected), c.input);
    }
}

TEST(TextEncodingsTest, Base64DecodeAcceptsLenientForms) {
    const Case cases[] = {
        {"white space anywhere", " Q Q\r\nA\t=\n", "A"},
        {"only white space", " \r\n", ""},
        {"padding left out", "QQA", "A"},
        {"odd byte dropped", "QQBC", "A"},
        {"odd byte alone", "QQ==", ""},
        {"lone surrogate", "ANg=", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Base64Decode(c.input), c.expected);
    }
}

TEST(TextEncodingsTest, Base64DecodeRejectsWhatIsNotBase64) {
    const std::pair<const char*, std::string> cases[] = {
        {"single character group", "QQA=Q"},   {"one character", "Q"},
        {"padding in the middle", "QQ==QQAA"}, {"data after padding", "QQ=A"},
        {"three padding characters", "Q==="},  {"one padding after two", "QQ="},
        {"two padding after three", "QQA=="},  {"padding only", "===="},
        {"URL-safe alphabet", "-_8A"},         {"NUL inside", std::string("QQ\0A", 4)},
        {"high byte", "QQA\xC3\xA9"},          {"vertical tab is not a blank", "QQ\vA="},
    };
    for (const auto& [name, input] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Base64Decode(input), std::nullopt);
        EXPECT_EQ(Base64DecodeBytes(input), std::nullopt);
    }

    // Random bytes must give an answer or nothing, never a crash (run under the sanitizers).
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 2000; ++i) {
        std::string junk(static_cast<std::size_t>(i % 13), '\0');
        for (char& c : junk) c = static_cast<char>(byte(random));
        (void)Base64Decode(junk);
    }
}

TEST(TextEncodingsTest, Base64RoundTripsRandomTexts) {
    const std::vector<std::string> alphabet = {
        "A", "z", " ", "\n", "é", "語", "ｶ", "￥", "😀", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF"};
    std::mt19937 random(2024);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int i = 0; i < 500; ++i) {
        std::string text;
        for (int n = i % 40; n > 0; --n) text += alphabet[pick(random)];
        SCOPED_TRACE(text);
        const std::string encoded = Base64Encode(text);
        EXPECT_EQ(encoded.size() % 4, 0u);
        EXPECT_EQ(Base64Decode(encoded), text);
        EXPECT_EQ(Base64DecodeBytes(Base64EncodeBytes(text)), text);
    }
}

}  // namespace
}  // namespace tovela

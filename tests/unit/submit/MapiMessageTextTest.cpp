#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "submit/MapiMessageMarkers.h"
#include "submit/MapiMessageText.h"

namespace tovela {
namespace {

const std::string M0 = "{3D8B7E87-3233-4397-8F38-E4126BA6DD12}";
const std::string M1 = "{5703C4FA-4EFB-4000-BB3B-35103519DD05}";
const std::string M2 = "{627B86DD-1097-43b9-AB1C-FB86780CBD7E}";
const std::string M3 = "{AB437657-C3C4-4ab7-8E29-02EE3F6201D0}";
const std::string M4 = "{85FD0ACD-93BA-4470-9C36-118479989F1C}";
const std::string M5 = "{963EB854-9700-44bd-AF1F-1594FBA1526C}";
const std::string M6 = "{F4F1F88E-E7EC-41d8-B501-D737581ED094}";

TEST(MapiMessageTextTest, WritesEverySectionInMarkerOrder) {
    MapiMessageFields m;
    m.fromName = "Taro";
    m.fromAddress = "taro@example.jp";
    m.recipients = {{"Ann", "SMTP:ann@example.com", MapiRecipientKind::To},
                    {"", "bob@example.com", MapiRecipientKind::Cc}};
    m.flags = 0x9;
    m.subject = "会議の資料";
    m.body = "Hello,\r\n  see the files.\r\n";
    m.attachments = {{"C:\\Users\\Taro\\My Files\\report 1.pdf", "Report.pdf"},
                     {"C:\\Temp\\~wrd0001.tmp", ""}};
    EXPECT_EQ(MapiMessageText(m),
              M0 + "Taro" + M1 + "taro@example.jp" + M2 +
                  "Ann|SMTP:ann@example.com||bob@example.com" + M3 + "(9)" + M4 + "会議の資料" +
                  M5 + "Hello,\r\n  see the files.\r\n" + M6 +
                  "C:\\Users\\Taro\\My Files\\report 1.pdf|Report.pdf|C:\\Temp\\~wrd0001.tmp|"
                  "~wrd0001.tmp");
    EXPECT_EQ(MapiMessagePayload(m), "\xEF\xBB\xBF" + MapiMessageText(m));
    EXPECT_EQ(MapiMessageText({}), M0 + M1 + M2 + M3 + "(0)" + M4 + M5 + M6);
}

// The reader's rules, as the running program applies them: a section runs from its marker
// to the first later marker found (in marker order), values are trimmed of blanks, and the
// attachment list is split at every "|".
std::string Section(const std::string& text, std::size_t index) {
    const auto p = text.find(kMapiMarkers[index]);
    if (p == std::string::npos) return {};
    auto q = text.size();
    for (std::size_t next = index + 1; next < kMapiMarkers.size(); ++next) {
        const auto found = text.find(kMapiMarkers[next], p);
        if (found != std::string::npos) {
            q = found;
            break;
        }
    }
    std::string value = text.substr(p + kMapiMarkerLength, q - p - kMapiMarkerLength);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    if (list.empty()) return items;
    std::size_t start = 0;
    for (auto bar = list.find('|'); bar != std::string::npos; bar = list.find('|', start)) {
        items.push_back(list.substr(start, bar - start));
        start = bar + 1;
    }
    items.push_back(list.substr(start));
    return items;
}

struct ReadBack {
    std::string fromName{}, fromAddress{}, flags{}, subject{}, body{};
    std::vector<std::string> recipients{}, attachments{};
    bool operator==(const ReadBack&) const = default;
};

void PrintTo(const ReadBack& r, std::ostream* out) {
    *out << "from {" << r.fromName << "|" << r.fromAddress << "} flags " << r.flags << " subject {"
         << r.subject << "} body {" << r.body << "} recipients {";
    for (const auto& s : r.recipients) *out << s << "|";
    *out << "} attachments {";
    for (const auto& s : r.attachments) *out << s << "|";
    *out << "}";
}

ReadBack Read(const std::string& text) {
    ReadBack r{Section(text, 0),
               Section(text, 1),
               Section(text, 3),
               Section(text, 4),
               Section(text, 5),
               Items(Section(text, 2)),
               {}};
    const auto p = text.find(kMapiMarkers[6]);
    if (p != std::string::npos) r.attachments = Items(text.substr(p + kMapiMarkerLength));
    return r;
}

struct HostileCase {
    const char* name;
    MapiMessageFields message;
    ReadBack expected;
};

TEST(MapiMessageTextTest, ValuesTheFormatCannotCarryComeBackAdjustedNotLost) {
    const std::string swapped5 = "{963eb854-9700-44BD-af1f-1594fba1526c}";
    const std::string swapped6 = "{f4f1f88e-e7ec-41D8-b501-d737581ed094}";
    const HostileCase cases[] = {
        {"body quoting later and earlier markers",
         {.subject = "s", .body = "a " + M6 + " b " + M5 + M0},
         {.flags = "(0)",
          .subject = "s",
          .body = "a " + swapped6 + " b " + swapped5 + "{3d8b7e87-3233-4397-8f38-e4126ba6dd12}"}},
        {"subject quoting the body marker",
         {.subject = M5, .body = "x"},
         {.flags = "(0)", .subject = swapped5, .body = "x"}},
        {"bars and quotes inside list items",
         {.recipients = {{"A|B", "a|b@x", MapiRecipientKind::To}},
          .attachments = {{"C:\\a|b.txt", "say \"hi\"|.txt"}}},
         {.flags = "(0)",
          .recipients = {"A｜B", "a｜b@x"},
          .attachments = {"C:\\a｜b.txt", "say ＂hi＂｜.txt"}}},
        {"bars elsewhere stay",
         {.fromName = "A|B", .subject = "x|y", .body = "| table |"},
         {.fromName = "A|B", .flags = "(0)", .subject = "x|y", .body = "| table |"}},
        {"NUL characters dropped",
         {.subject = std::string("a\0b", 3), .body = std::string("\0c", 2)},
         {.flags = "(0)", .subject = "ab", .body = "c"}},
        {"blank pairs left out, a name from the path",
         {.recipients = {{" ", "", MapiRecipientKind::To}, {"", "c@x", MapiRecipientKind::To}},
          .attachments = {{" ", "ghost.txt"}, {"/home/u/notes.md", " "}}},
         {.flags = "(0)",
          .recipients = {"", "c@x"},
          .attachments = {"/home/u/notes.md", "notes.md"}}},
        {"blind copies ask for the dialog",
         {.recipients = {{"Ann", "ann@x", MapiRecipientKind::To},
                         {"", "boss@x", MapiRecipientKind::Bcc}},
          .flags = 0x1},
         {.flags = "(9)", .recipients = {"Ann", "ann@x", "", "boss@x"}}},
        {"copies do not",
         {.recipients = {{"", "c@x", MapiRecipientKind::Cc}}, .flags = 0x40000},
         {.flags = "(262144)", .recipients = {"", "c@x"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Read(MapiMessageText(c.message)), c.expected);
    }
}

}  // namespace
}  // namespace tovela

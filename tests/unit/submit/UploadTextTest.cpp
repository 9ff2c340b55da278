#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "submit/PathNames.h"
#include "submit/UploadAnswer.h"
#include "submit/UploadText.h"

namespace tovela {
namespace {

TEST(UploadTextTest, SplitCommandLine) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"C:\\a.txt", {"C:\\a.txt"}},
        {" \"C:\\My Docs\\a b.txt\" C:\\c.txt ", {"C:\\My Docs\\a b.txt", "C:\\c.txt"}},
        {"a  b", {"a", "", "b"}},
        {"x\"y z\"w", {"xy zw"}},
        {"\"unterminated quote", {"unterminated quote"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitCommandLine(c.text), c.items);
    }
}

TEST(UploadTextTest, FileNameFromPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Docs\\a.txt", "a.txt"},
        {"C:\\Docs\\", "Docs\\"},
        {"a.txt", "a.txt"},
        {"/home/u/b.pdf", "b.pdf"},
        {"C:\\Temp\\2_オブジェクト.zip", "2_オブジェクト.zip"},
        {"\\", "\\"},
        {"", ""},
    };
    for (const auto& [path, name] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(FileNameFromPath(path), name);
    }
    EXPECT_EQ(JoinPath("C:\\Temp", "x"), "C:\\Temp\\x");
    EXPECT_EQ(JoinPath("D:\\", "x"), "D:\\x");
    EXPECT_EQ(JoinPath("/tmp", "x"), "/tmp/x");
    EXPECT_EQ(FolderItem("C:\\Docs"), "C:\\Docs\\*.*");
    EXPECT_EQ(FolderOfItem("C:\\Docs\\*.*"), "C:\\Docs");
}

TEST(UploadTextTest, GetHeaderValueTakesOnlyWholeNames) {
    const std::string raw =
        "HTTP/1.1 200 OK\r\nContent-Location: /elsewhere\r\nX-Note: Location: /fake\r\n"
        "location:   https://b.example/up?x=1  \r\nContent-Length: 12\r\n\r\n";
    EXPECT_EQ(GetHeaderValue(raw, "Location"), "https://b.example/up?x=1");
    EXPECT_EQ(GetHeaderValue(raw, "CONTENT-LENGTH"), "12");
    EXPECT_EQ(GetHeaderValue(raw, "Set-Cookie"), "");
    EXPECT_EQ(GetHeaderValue("HTTP/1.1 200 OK\r\nContent-Location: /x\r\n\r\n", "Location"), "");
}

TEST(UploadTextTest, SizeText) {
    struct Case {
        std::uint64_t bytes;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {0, ".", "0 B"},
        {1023, ".", "1023 B"},
        {1024, ".", "1 KB"},
        {1536, ",", "1,5 KB"},
        {2048, ".", "2 KB"},
        {1025, ".", "1 KB"},    // 1.0009 rounds to a whole number
        {1075, ".", "1 KB"},    // 1.0498
        {1076, ".", "1.1 KB"},  // 1.0508
        {1126, ".", "1.1 KB"},  // 1.0996
        {2099, ".", "2 KB"},    // 2.0498
        {2100, ".", "2.1 KB"},  // 2.0508
        {1048575, ".", "1024 KB"},
        {1048576, ".", "1 MB"},
        {1572864, ",", "1,5 MB"},
        // Exactly halfway goes to the even tenth.
        {1280, ".", "1.2 KB"},     // 1.25
        {1792, ".", "1.8 KB"},     // 1.75
        {1310720, ".", "1.2 MB"},  // 1.25
        {1835008, ".", "1.8 MB"},  // 1.75
        {1073741824, ".", "1024 MB"},
        {5368709120, ".", "5120 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SizeText(c.bytes, c.separator), c.text);
    }
}

TEST(UploadTextTest, UploadIds) {
    struct Case {
        const char* response;
        std::size_t count;
        const char* ids;
    };
    const Case cases[] = {
        {"200,'2','a1b2c3d4-0000:1,a1b2c3d4-0000:2'", 2, "a1b2c3d4-0000:1,a1b2c3d4-0000:2"},
        {"200,'2','abc'", 2, "abc"},
        {"<html>\r\n200,'1','0f1e2d3c-4b5a:9' \r\n</html>", 1, "0f1e2d3c-4b5a:9"},
        // The count must match: an answer for another number of files has no ids for us.
        {"200,'1','a1b2c3d4-0000:1'", 2, "AttachID format incorrect"},
        {"200,'1',''", 1, "AttachID format incorrect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response);
        EXPECT_EQ(UploadIds(c.response, c.count), c.ids);
    }
}

}  // namespace
}  // namespace tovela

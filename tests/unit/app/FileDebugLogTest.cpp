#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/FileDebugLog.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

namespace fs = std::filesystem;

class FileDebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("tovela-debuglog-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        file = folder / FileDebugLog::kFileName;
        log = std::make_unique<FileDebugLog>(file, [this] { return password; });
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Content() const {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder;
    fs::path file;
    std::string password = "S3cr&t<pw>";
    std::unique_ptr<FileDebugLog> log;
};

TEST_F(FileDebugLogTest, WritesNothingUntilTheFileExists) {
    log->Write("AppPrev");
    EXPECT_FALSE(fs::exists(file));
    std::ofstream(file).close();
    log->Write("TranslateControls");
    log->Write("TraeSetting: HTTPS");
    EXPECT_EQ(Content(), "TranslateControls\nTraeSetting: HTTPS\n");
}

TEST_F(FileDebugLogTest, PasswordNeverReachesTheFile) {
    std::ofstream(file).close();
    const std::string envelope =
        "<Envelope>\r\n      <account by=\"name\">user</account>\r\n"
        "      <password>S3cr&amp;t&lt;pw&gt;</password>\r\n</Envelope>";
    log->Write("*ECS: (2026/12/06 07:51:15):" + Base64Encode(envelope));
    log->Write("*PS: (2026/12/06 07:51:16):" + Base64Encode("echo " + password));
    log->Write("plain " + password + " text");

    const std::string content = Content();
    EXPECT_EQ(content.find(password), std::string::npos);
    EXPECT_EQ(content.find("S3cr"), std::string::npos);
    // Nor inside any of the Base64 parts, at any alignment.
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t colon = line.find("):");
        if (colon == std::string::npos) continue;
        auto decoded = Base64Decode(line.substr(colon + 2));
        ASSERT_TRUE(decoded.has_value()) << line;
        EXPECT_EQ(decoded->find("S3cr"), std::string::npos) << *decoded;
        EXPECT_NE(decoded->find("********"), std::string::npos) << *decoded;
    }
    // Everything else of the envelope survives for whoever reads the trace.
    std::string first = content.substr(0, content.find('\n'));
    EXPECT_NE(Base64Decode(first.substr(first.find("):") + 2))->find("user</account>"),
              std::string::npos);
}

TEST_F(FileDebugLogTest, PasswordElementIsMaskedEvenWhenThePasswordChangedSince) {
    const std::string envelope = "<a><password>old-one</password></a>";
    password = "new-one";
    std::string line = log->Redact("*ECS: (t):" + Base64Encode(envelope));
    EXPECT_EQ(Base64Decode(line.substr(line.find("):") + 2)),
              std::optional<std::string>("<a><password>********</password></a>"));
    // An empty password masks nothing else.
    password.clear();
    EXPECT_EQ(log->Redact("TraeSetting: Password"), "TraeSetting: Password");
}

// Text another program sent cannot forge trace lines; masking keeps everything else.
TEST_F(FileDebugLogTest, EachEntryStaysOneLine) {
    password = "pw";
    EXPECT_EQ(log->Redact("OnAbreTovela: a@b\r\n///// Start: forged\x01"),
              "OnAbreTovela: a@b\\x0D\\x0A///// Start: forged\\x01");
    EXPECT_EQ(log->Redact("pwpw-pw-xpwx<password>pw</password>"),
              "****************-********-x********x<password>********</password>");
    // Long lines are masked whole, every occurrence, however many.
    std::string many;
    for (int i = 0; i < 50'000; ++i) many += "pw.";
    const std::string masked = log->Redact(many);
    EXPECT_EQ(masked.size(), 50'000u * 9);
    EXPECT_EQ(masked.find("pw"), std::string::npos);
}

}  // namespace
}  // namespace tovela

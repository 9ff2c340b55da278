#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "fakes/RecordingDebugLog.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

struct Case {
    const char* name;
    const char* commandLine;
    RequestKind kind;
    const char* sentText;  // what the running instance decodes
};

class ForwardedRequestTest : public ::testing::TestWithParam<Case> {};

TEST_P(ForwardedRequestTest, KindAndPayload) {
    const Case& c = GetParam();
    testing::RecordingDebugLog log;
    ForwardedRequest request = BuildForwardedRequest(c.commandLine, log);
    EXPECT_EQ(request.kind, c.kind);
    ASSERT_TRUE(request.payload.has_value());
    EXPECT_EQ(Base64Decode(*request.payload), std::optional<std::string>(c.sentText));
    EXPECT_TRUE(log.Has("Commandline: " + *request.payload));
}

const Case kRequests[] = {
    {"MailtoWithSubject", "mailto:a@b?subject=Hi", RequestKind::Abre, "a@b&subject=Hi"},
    {"MailtoEveryQuestionMark", "mailto:a@b?subject=Why?&body=x", RequestKind::Abre,
     "a@b&subject=Why&&body=x"},
    {"MailtoCaseKept", "MAILTO:a@b", RequestKind::Abre, "MAILTO:a@b"},
    {"QuotedMailtoLosesQuotes", "\"mailto:a@b?subject=Hi\"", RequestKind::Abre, "a@b&subject=Hi"},
    {"QuotedPathKeepsQuotes", "\"C:\\Docs\\My file.txt\"", RequestKind::Upload,
     "\"C:\\Docs\\My file.txt\""},
    {"BriefcasePath", "/briefcase \"C:\\a b.txt\"", RequestKind::Upload,
     "/briefcase \"C:\\a b.txt\""},
    {"SettingsSwitch", "/settings", RequestKind::Settings, "/settings"},
    {"SettingsAnyCase", "/Settings", RequestKind::Settings, "/Settings"},
    {"SettingsPrefixOnly", "/settingsXYZ", RequestKind::Settings, "/settingsXYZ"},
    {"BlankBeforeSwitch", " /settings", RequestKind::Abre, " /settings"},
    {"BackslashWinsOverSwitch", "/settings C:\\x", RequestKind::Upload, "/settings C:\\x"},
    {"JapanesePath", "C:\\書類\\報告.txt", RequestKind::Upload, "C:\\書類\\報告.txt"},
    // The Linux build's files: absolute paths, and the briefcase switch before them.
    {"LinuxPath", "\"/home/taro/a b.pdf\" /tmp/c.txt", RequestKind::Upload,
     "\"/home/taro/a b.pdf\" /tmp/c.txt"},
    {"LinuxBriefcase", "/BRIEFCASE /tmp/c.txt", RequestKind::Upload, "/BRIEFCASE /tmp/c.txt"},
    {"SwitchAloneIsNoPath", "/foo", RequestKind::Abre, "/foo"},
};
INSTANTIATE_TEST_SUITE_P(SecondStart, ForwardedRequestTest, ::testing::ValuesIn(kRequests),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ForwardedRequestTest, EmptyCommandLineOpensWebmailWithoutPayload) {
    testing::RecordingDebugLog log;
    ForwardedRequest request = BuildForwardedRequest("", log);
    EXPECT_EQ(request.kind, RequestKind::Abre);
    EXPECT_FALSE(request.payload.has_value());
    EXPECT_TRUE(log.lines.empty());
}

}  // namespace
}  // namespace tovela

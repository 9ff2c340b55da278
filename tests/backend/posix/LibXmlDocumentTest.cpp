#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "backend/XmlConformanceCases.h"
#include "platform/posix/Factories.h"

namespace tovela::posix {
namespace {

namespace conformance = xmlconformance;

// Peak resident size of the process so far, in kilobytes.
long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class LibXmlConformanceTest : public ::testing::TestWithParam<conformance::Case> {};

TEST_P(LibXmlConformanceTest, Behaves) {
    auto factory = CreateXmlFactory();
    const long before = PeakKilobytes();
    conformance::RunCase(*factory, GetParam());
    // Hostile text must not make the parser build anything big.
    EXPECT_LT(PeakKilobytes() - before, 64 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Cases, LibXmlConformanceTest, ::testing::ValuesIn(conformance::Cases()),
                         [](const auto& row) { return row.param.name; });

TEST(LibXmlDocumentTest, DocumentsAndNodesLiveAsLongAsTheyAreHeld) {
    conformance::RunLifetimeCase(*CreateXmlFactory());
}

// libxml2 prints to stderr unless every error is taken by a handler; the program's only
// output channel on Linux is stdout, but stray text there would still corrupt test logs.
TEST(LibXmlDocumentTest, ParseAndPathErrorsPrintNothing) {
    auto document = CreateXmlFactory()->CreateDocument();
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(document->LoadXml("<r>\n<b>text</c>\n</r>"));
    EXPECT_FALSE(document->LoadXml("<!DOCTYPE r [<!ENTITY x \"y\">]><r>&x;</r>"));
    ASSERT_TRUE(document->LoadXml("<r/>"));
    EXPECT_TRUE(document->DocumentElement()->SelectNodes("//*[").empty());
    EXPECT_TRUE(document->DocumentElement()->SelectNodes("undeclared:x").empty());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(LibXmlDocumentTest, ParseErrorGivesTheParsersReason) {
    auto document = CreateXmlFactory()->CreateDocument();
    EXPECT_FALSE(document->LoadXml("<r>\r\n<b>text</c>\r\n</r>"));
    EXPECT_NE(document->ParseError().reason.find("mismatch"), std::string::npos)
        << document->ParseError().reason;
    EXPECT_EQ(document->ParseError().srcText, "<b>text</c>");
    EXPECT_FALSE(document->LoadXml("<!DOCTYPE r><r/>"));
    EXPECT_EQ(document->ParseError().reason, "DTD is prohibited.");
    EXPECT_EQ(document->ParseError().srcText, "<!DOCTYPE r><r/>");
}

}  // namespace
}  // namespace tovela::posix

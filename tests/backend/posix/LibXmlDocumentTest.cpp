#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "backend/XmlConformanceCases.h"
#include "platform/posix/Factories.h"
#include "session/ResponsePath.h"

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

// Paths whose tail is answered by a walk over child elements must select exactly what their
// XPath selects, in the same order.
TEST(LibXmlDocumentTest, WalkedPathsSelectWhatTheirXPathSelects) {
    auto document = CreateXmlFactory()->CreateDocument();
    ASSERT_TRUE(document->LoadXml(conformance::Envelope(
        "<context xmlns=\"urn:tovela\"><notify seq=\"1\"><created><m id=\"1\" t=\"f\">"
        "<m id=\"2\"/><e t=\"f\" id=\"3\"/><e xmlns:p=\"urn:p\" p:t=\"f\" id=\"4\"/></m>"
        "</created><modified><tag id=\"5\"/><folder id=\"6\"><tag id=\"7\"/></folder></modified>"
        "</notify><notify seq=\"2\"><notify seq=\"3\"/></notify></context>",
        "<r><a:x xmlns:a=\"urn:a\" id=\"8\"><y id=\"9\"/></a:x>text<x id=\"10\"/></r>")));
    const XmlNode& root = *document->DocumentElement();
    const char* const paths[] = {
        "/soap:Envelope/soap:Header/context//notify",
        "/soap:Envelope/soap:Header/context/notify/created//m",
        "/soap:Envelope/soap:Header/context/notify/(created|modified)//(tag|folder)",
        "/soap:Envelope/soap:Header/context/notify/*/*",
        "/soap:Envelope/soap:Header/context/notify/created/m/e[@t='f']",
        "/soap:Envelope/soap:Header/context/notify/created/m[@t='f']//m",
        "/soap:Envelope/soap:Body/r/x/y",
        "/soap:Envelope/soap:Body/r//*",
        "/soap:Envelope/soap:Body/r/x[@id='10']",
        "soap:Body/r/x",
        "soap:Header/context/notify/notify",
        "*/*/notify",
        "*//notify",
    };
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        std::vector<std::string> walked;
        for (const auto& node : SelectNodes(root, path)) {
            walked.push_back(node->LocalName() + "@" + node->Attribute("id").value_or("") +
                             node->Attribute("seq").value_or(""));
        }
        std::vector<std::string> evaluated;
        for (const auto& node : root.SelectNodes(ToXPath(path))) {
            evaluated.push_back(node->LocalName() + "@" + node->Attribute("id").value_or("") +
                                node->Attribute("seq").value_or(""));
        }
        EXPECT_FALSE(evaluated.empty());
        EXPECT_EQ(walked, evaluated);
        EXPECT_FALSE(PlanPath(path)->tail.empty());
    }
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

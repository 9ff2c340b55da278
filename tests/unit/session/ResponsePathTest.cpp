#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "session/ResponsePath.h"

namespace tovela {
namespace {

struct PathCase {
    const char* name;
    std::string path;
    std::string xpath;
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) {
    return out << c.path;
}

class ResponsePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ResponsePathTest, TranslatesToXPath) {
    EXPECT_EQ(ToXPath(GetParam().path), GetParam().xpath);
    // The second call comes from the cache and must give the same text.
    EXPECT_EQ(ToXPath(GetParam().path), GetParam().xpath);
}

#define LN(n) "*[local-name()='" n "']"

const PathCase kPathShapes[] = {
    {"FaultText", "//soap:Fault/soap:Reason/soap:Text", "//soap:Fault/soap:Reason/soap:Text"},
    {"HeaderVersion", "/soap:Envelope/soap:Header/context/refresh/version",
     "/soap:Envelope/soap:Header/" LN("context") "/" LN("refresh") "/" LN("version")},
    {"DescendantByLocalName", "//AuthResponse", "//" LN("AuthResponse")},
    {"DescendantThenChild", "//AuthResponse/authToken",
     "//" LN("AuthResponse") "/" LN("authToken")},
    {"SessionTagBuiltAtRunTime", "/soap:Envelope/soap:Header/context/" + std::string("sessionId"),
     "/soap:Envelope/soap:Header/" LN("context") "/" LN("sessionId")},
    {"PredicateOnAttribute", "//AuthResponse/prefs/pref[@name='tovelaPrefFromAddress']",
     "//" LN("AuthResponse") "/" LN("prefs") "/" LN("pref") "[@name='tovelaPrefFromAddress']"},
    {"PredicateThenChild", "//GetSignaturesResponse/signature[@id='a1-b2']/content",
     "//" LN("GetSignaturesResponse") "/" LN("signature") "[@id='a1-b2']/" LN("content")},
    {"DoubleQuotedPredicateKeepsApostrophe", "pref[@name=\"it's\"]", LN("pref") "[@name=\"it's\"]"},
    {"AttributePresencePredicate", "m[@f]", LN("m") "[@f]"},
    {"AlternativesInOneStep", "/soap:Envelope/soap:Header/context/refresh//(folder|link)",
     "/soap:Envelope/soap:Header/" LN("context") "/" LN(
         "refresh") "//*[local-name()='folder' or local-name()='link']"},
    {"RelativeAlternativesThenDescendant", "(created|modified)//tag",
     "*[local-name()='created' or local-name()='modified']//" LN("tag")},
    {"AlternativeWithSoapName", "(soap:Body|Body)", "*[self::soap:Body or local-name()='Body']"},
    {"NotifyBlocks", "/soap:Envelope/soap:Header/context//notify",
     "/soap:Envelope/soap:Header/" LN("context") "//" LN("notify")},
    {"BodyPath", "/soap:Envelope/soap:Body/BatchResponse/SearchResponse//appt",
     "/soap:Envelope/soap:Body/" LN("BatchResponse") "/" LN("SearchResponse") "//" LN("appt")},
    {"RelativeChild", "content", LN("content")},
    {"RelativeWithPredicate", "e[@t='f']", LN("e") "[@t='f']"},
    {"RelativeChain", "alarmData/alarm/trigger/abs",
     LN("alarmData") "/" LN("alarm") "/" LN("trigger") "/" LN("abs")},
    {"RelativeAttribute", "@id", "@id"},
    {"AttributeStepAtEnd", "//GetInfoResponse/@attSizeLimit",
     "//" LN("GetInfoResponse") "/@attSizeLimit"},
    {"NameWithDigitsDotsAndDashes", "x_uid/a-b.c2", LN("x_uid") "/" LN("a-b.c2")},
    {"NonAsciiName", "件名", LN("件名")},
    {"SelfAndParent", "./../m", "./../" LN("m")},
    {"AnyElement", "//notify/*", "//" LN("notify") "/*"},
};
INSTANTIATE_TEST_SUITE_P(Shapes, ResponsePathTest, ::testing::ValuesIn(kPathShapes),
                         [](const auto& row) { return std::string(row.param.name); });

// Outside the language: nothing may reach the XPath engine that could select something else.
const PathCase kRejected[] = {
    {"Empty", "", ""},
    {"RootAlone", "/", ""},
    {"TrailingSlashOfEmptyRunTimeName", "/soap:Envelope/soap:Header/context/", ""},
    {"TripleSlash", "a///b", ""},
    {"QuoteInsidePredicateValue", "//signature[@id='it's']/content", ""},
    {"UnclosedPredicate", "//pref[@name='x'", ""},
    {"UnterminatedQuote", "//pref[@name='x]", ""},
    {"PredicateOnElementValue", "//pref[name='x']", ""},
    {"UnknownPrefix", "//xs:element", ""},
    {"UnclosedAlternatives", "(folder|link", ""},
    {"EmptyAlternative", "(folder|)", ""},
    {"Function", "count(//m)", ""},
    {"Blank", "//Auth Response", ""},
    {"QuoteInName", "a'b", ""},
    {"Union", "a|b", ""},
};
INSTANTIATE_TEST_SUITE_P(Rejected, ResponsePathTest, ::testing::ValuesIn(kRejected),
                         [](const auto& row) { return std::string(row.param.name); });

#undef LN

}  // namespace
}  // namespace tovela

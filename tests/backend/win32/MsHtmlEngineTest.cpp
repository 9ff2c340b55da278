#include <gtest/gtest.h>

#include <cstdio>

#include "backend/HtmlEngineCases.h"
#include "platform/win32/MsHtmlEngine.h"
#include "submit/FallbackHtmlEngine.h"

namespace tovela::win32 {
namespace {

class MsHtmlEngineTest : public ::testing::TestWithParam<htmlcases::Case> {};

TEST_P(MsHtmlEngineTest, Behaves) {
    auto engine = CreateHtmlEngine();
    htmlcases::RunCase(*engine, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, MsHtmlEngineTest, ::testing::ValuesIn(htmlcases::Cases()),
                         [](const auto& row) { return row.param.name; });

// Without the document object (Wine without its HTML engine) every answer is the
// fallback's, word for word.
TEST(MsHtmlEngineSourceTest, WithoutTheDocumentObjectTheFallbackAnswers) {
    const bool available = HtmlDocumentObjectAvailable();
    std::printf("HTML engine: %s\n",
                available ? "the system's HTML document object" : "the portable fallback");
    RecordProperty("engine", available ? "mshtml" : "fallback");
    if (available) GTEST_SKIP() << "the system's HTML document object answers here";
    auto engine = CreateHtmlEngine();
    FallbackHtmlEngine fallback;
    const std::string body = "<html><head><title>t</title></head><body><b>Hi</b><br>x</body>";
    EXPECT_EQ(engine->BodyInnerHtml(body), fallback.BodyInnerHtml(body));
    EXPECT_EQ(engine->BodyText(body), fallback.BodyText(body));
}

}  // namespace
}  // namespace tovela::win32

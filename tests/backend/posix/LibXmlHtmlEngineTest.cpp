#include <gtest/gtest.h>

#include "backend/HtmlEngineCases.h"
#include "platform/posix/LibXmlHtmlEngine.h"

namespace tovela::posix {
namespace {

class LibXmlHtmlEngineTest : public ::testing::TestWithParam<htmlcases::Case> {};

TEST_P(LibXmlHtmlEngineTest, Behaves) {
    auto engine = CreateHtmlEngine();
    htmlcases::RunCase(*engine, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, LibXmlHtmlEngineTest, ::testing::ValuesIn(htmlcases::Cases()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace tovela::posix

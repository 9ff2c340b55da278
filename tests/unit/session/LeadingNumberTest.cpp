#include <gtest/gtest.h>

#include "session/LeadingNumber.h"

namespace tovela {
namespace {

TEST(LeadingNumberTest, ReadsAsFarAsTheNumberGoes) {
    const std::pair<const char*, double> cases[] = {
        {"6.0.10_GA", 6.0}, {"7.1.2", 7.1}, {"5m", 5},  {"300s", 300},  {" 42", 42}, {"", 0},
        {"GA", 0},          {".5", 0.5},    {"-3", -3}, {"1e3x", 1000}, {"2e", 2},   {"8.", 8},
        {"+.", 0},
    };
    for (auto [text, value] : cases) EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << text;
}

}  // namespace
}  // namespace tovela

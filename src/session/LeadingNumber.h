#pragma once

#include <string_view>

namespace tovela {

// The number a text begins with, read as far as it can continue ("6.0.10_GA" is 6, "5m" is 5,
// "1.5e2x" is 150); blanks before it are skipped, and a text that does not begin with a number
// reads as 0.
double LeadingNumber(std::string_view text);

}  // namespace tovela

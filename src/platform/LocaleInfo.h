#pragma once

#include <string>

#include "platform/Clock.h"

namespace tovela {

class LocaleInfo {
public:
    virtual ~LocaleInfo() = default;
    // The time of day in the user's long time format, seconds included ("14:05:09",
    // "2:05:09 PM").
    virtual std::string LongTimeText(const LocalDateTime& t) = 0;
};

}  // namespace tovela

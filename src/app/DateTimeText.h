#pragma once

#include <cstdio>
#include <string>

#include "platform/Clock.h"

namespace tovela {

// Date and time as the trace lines show them: 2026/12/06 07:51:15.
inline std::string DateTimeText(const LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

}  // namespace tovela

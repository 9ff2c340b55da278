#pragma once

#include <string>

namespace tovela {

inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;

// Facts about the user's desktop that some commands depend on.
class UserEnvironment {
public:
    virtual ~UserEnvironment() = default;
    // The decimal separator of the user's number format (LOCALE_SDECIMAL).
    virtual std::string DecimalSeparator() = 0;
    // GetAsyncKeyState: whether the key is held down now. Linux has no such state: never.
    virtual bool IsKeyDown(int virtualKey) = 0;
};

}  // namespace tovela

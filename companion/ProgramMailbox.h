#pragma once

#include <string>

namespace tovela::companion {

// Hands one serialised message to the running program's mailbox window, starting the
// program first when it does not run. True once the program's window has taken it.
bool DeliverToProgram(const std::string& payload);

}  // namespace tovela::companion

#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/DebugLog.h"
#include "platform/ShellEnvironment.h"

namespace tovela {

// The value of the environment variable `name`, matched in any letter case; empty when unset.
std::string GetEnvValue(ShellEnvironment& shell, std::string_view name);
// The user's Word start-up folder under any of the languages Word names it in; empty when
// there is none.
std::string GetWordStartupFolder(ShellEnvironment& shell, DebugLog& log);
// The user's Office add-ins folder, found the same way.
std::string GetAddinsFolder(ShellEnvironment& shell, DebugLog& log);

// What a message box needs: text, style bits, title.
using ShowMessageFn = std::function<void(const std::string&, int, const std::string&)>;

// Removes the office add-in files that older versions installed. A file an office program
// holds open is named to the user, who is asked to close the program; other failures are
// left for the next save.
void RemoveOldAddins(ShellEnvironment& shell, DebugLog& log, const ShowMessageFn& showMessage);

}  // namespace tovela

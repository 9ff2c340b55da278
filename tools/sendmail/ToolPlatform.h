#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SingleInstance.h"

// What tovela-sendmail needs of the operating system; CMake picks the back end's file.
namespace tovela::sendmail {

// The arguments after the program's name, in UTF-8.
std::vector<std::string> ToolArguments(int argc, char** argv);
// The absolute form of an existing file's or folder's path; nothing when there is none.
std::optional<std::string> ExistingAbsolutePath(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
// Reaches the running program's mailbox, as a second start of the program does.
std::unique_ptr<SingleInstance> CreateMailboxSender();

}  // namespace tovela::sendmail

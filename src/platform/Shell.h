#pragma once

#include <string>

namespace tovela {

// The desktop's shell: documents, addresses and programs opened as a double click would.
class Shell {
public:
    virtual ~Shell() = default;
    // ShellExecute "open" without an owner window, in the program's folder, shown normally.
    // Failures (no browser, no program for the address) are not reported.
    virtual void ShellOpen(const std::string& file, const std::string& params) = 0;
};

}  // namespace tovela

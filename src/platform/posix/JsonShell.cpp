#include "platform/posix/JsonShell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/posix/JsonDesktop.h"

namespace tovela::posix {
namespace {

bool OnADesktop() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// xdg-open in a grandchild, so the program neither waits for the browser nor leaves a
// zombie behind.
void XdgOpen(const std::string& file) {
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        if (fork() == 0) {
            std::vector<char*> argv = {const_cast<char*>("xdg-open"),
                                       const_cast<char*>(file.c_str()), nullptr};
            execvp("xdg-open", argv.data());
        }
        _exit(0);
    }
    waitpid(child, nullptr, 0);
}

}  // namespace

void JsonShell::ShellOpen(const std::string& file, const std::string& params) {
    WriteJsonLine(out_,
                  JsonLine().Text("event", "shellOpen").Text("file", file).Text("params", params));
    if (OnADesktop()) XdgOpen(file);
}

}  // namespace tovela::posix

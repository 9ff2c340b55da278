#pragma once

#include <string>

#include "platform/posix/EventLoop.h"
#include "platform/posix/JsonDesktop.h"
#include "platform/posix/JsonFormWindow.h"
#include "platform/posix/PosixInstance.h"

namespace tovela::posix {

// What a user does, read as JSON lines from a descriptor (standard input): clicks on the
// tray icons, typing into the settings window, clicks on its controls, and the answers to
// the next message boxes and menus. docs/DESKTOP-EVENTS.md lists the commands. A line that
// is not a command is reported on standard error and skipped.
class InputChannel {
public:
    InputChannel(EventLoop& loop, int fd, PosixWindowSystem& windows, JsonFormWindow& form,
                 ScriptedAnswers& answers);
    ~InputChannel();
    InputChannel(const InputChannel&) = delete;
    InputChannel& operator=(const InputChannel&) = delete;

    // One command line; false when it is not a command this channel knows.
    bool Execute(const std::string& line);

private:
    void ReadAvailable();
    void Stop();

    EventLoop& loop_;
    int fd_;
    PosixWindowSystem& windows_;
    JsonFormWindow& form_;
    ScriptedAnswers& answers_;
    std::string pending_;
};

}  // namespace tovela::posix

#pragma once

#include <functional>

namespace tovela {

// The one user-interface thread's message loop. Every piece of work runs to its end inside
// the message that started it.
class MessageLoop {
  public:
    virtual ~MessageLoop() = default;
    // Called on the loop's thread when the system asks the program to end (a signal on
    // Linux, the end of the session on Windows).
    virtual void SetShutdownHandler(std::function<void()> handler) = 0;
    // Runs until Quit; returns the process exit code.
    virtual int Run() = 0;
    virtual void Quit() = 0;
};

}  // namespace tovela

#pragma once

#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/MailboxWindow.h"
#include "platform/MessageLoop.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"

namespace tovela {

// Every operating system service the program uses, made by the back end that CMake chose.
struct Platform {
    std::unique_ptr<MessageLoop> loop;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<SystemInfo> system;
    // The command line after the program's name, as the program was started with it.
    std::string commandLine;
};

std::unique_ptr<Platform> CreatePlatform(int argc, char** argv);

}  // namespace tovela

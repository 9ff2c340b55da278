#pragma once

#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/HttpRequest.h"
#include "platform/LocaleInfo.h"
#include "platform/MailboxWindow.h"
#include "platform/MessageLoop.h"
#include "platform/NotifyIcon.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"
#include "platform/TimerService.h"
#include "platform/XmlDocument.h"

namespace tovela {

// Every operating system service the program uses, made by the back end that CMake chose.
struct Platform {
    std::unique_ptr<MessageLoop> loop;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<TimeZone> timeZone;
    std::unique_ptr<LocaleInfo> locale;
    std::unique_ptr<TimerService> timers;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<NotifyIconService> notifyIcons;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<SystemInfo> system;
    std::unique_ptr<XmlFactory> xml;
    std::unique_ptr<HttpFactory> http;
    // The command line after the program's name, as the program was started with it.
    std::string commandLine;
};

std::unique_ptr<Platform> CreatePlatform(int argc, char** argv);

}  // namespace tovela

#pragma once

#include <memory>
#include <string>

#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/DesktopWindows.h"
#include "platform/FormWindow.h"
#include "platform/FileSystem.h"
#include "platform/HtmlEngine.h"
#include "platform/HttpRequest.h"
#include "platform/LocaleInfo.h"
#include "platform/MailboxWindow.h"
#include "platform/MessageLoop.h"
#include "platform/NotifyIcon.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/ShellEnvironment.h"
#include "platform/ShellLink.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"
#include "platform/TimerService.h"
#include "platform/UploadHttp.h"
#include "platform/UserEnvironment.h"
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
    std::unique_ptr<FormWindow> form;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<DesktopWindows> desktopWindows;
    std::unique_ptr<SystemInfo> system;
    std::unique_ptr<XmlFactory> xml;
    std::unique_ptr<HttpFactory> http;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<ShellEnvironment> shellEnvironment;
    std::unique_ptr<ShellLinkFactory> shellLinks;
    // Uploads: the files they read, their HTTP client, the user's desktop facts and the
    // worker threads they run on.
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<UploadHttpFactory> uploadHttp;
    std::unique_ptr<UserEnvironment> userEnvironment;
    std::unique_ptr<BackgroundWork> background;
    std::unique_ptr<HtmlEngine> html;
    // The command line after the program's name, as the program was started with it.
    std::string commandLine;
};

std::unique_ptr<Platform> CreatePlatform(int argc, char** argv);

}  // namespace tovela

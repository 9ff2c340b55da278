#pragma once

#include <functional>
#include <string>

#include "app/DebugLog.h"
#include "integration/Registry2.h"
#include "platform/ShellEnvironment.h"
#include "platform/SystemInfo.h"

namespace tovela {

inline constexpr const char* kMailClientName = "Tovela Notifier";
inline constexpr const char* kMailtoProgId = "TovelaNotifier.MailTo";
inline constexpr const char* kMailtoKey = "Software\\Classes\\mailto";
inline constexpr const char* kMailClientsKey = "Software\\Clients\\Mail";
inline constexpr const char* kOurClientKey = "Software\\Clients\\Mail\\Tovela Notifier";
inline constexpr const char* kProgIdKey = "Software\\Classes\\TovelaNotifier.MailTo";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValue = "TovelaNotifier";
inline constexpr const char* kRegisteredAppsKey = "SOFTWARE\\RegisteredApplications";

// The program as the desktop's mail program, mailto: handler and autorun entry: writes or
// removes the registry entries so they match the two integration marks.
class MailClientRegistration {
public:
    // `programFolder` is where the program and its companion files lie; `balloon` shows a
    // text on the main tray icon.
    MailClientRegistration(Registry2& registry, ShellEnvironment& shell, SystemInfo& system,
                           std::string programFolder, DebugLog& log,
                           std::function<void(const std::string&)> balloon);

    // `mode`: 0 at start-up, 1 on apply or a toggled integration item, 2 at shutdown.
    void RawSaveRegistry(int mode, bool autoRun, bool mailHandler);
    bool IsUserAnAdministrator();
    bool IsLuaEnabled();
    // Whether the system takes the program for the default mail client; `mailHandlerMark`
    // decides where the registry cannot tell.
    bool IsDefaultMailClient(bool mailHandlerMark);
    // Makes the program the user's mailto: choice. `switchedOn` is true when the user has
    // just turned the mail item on.
    void SetUserFTA(const std::string& progId, bool switchedOn);

private:
    void WriteMachineClient();
    void RemoveMachineClient();
    // Returns whether the user's default client was another one.
    bool WriteUserHandler(bool admin);
    // Returns whether the system must be told.
    bool RemoveUserHandler(bool admin);
    void SetDllPaths(RegistryRoot root);
    // The machine's entries for 32-bit programs, where their view is a key of its own.
    void WriteMachineClient32();
    void RemoveMachineClient32();
    // Whether the 32-bit view names our 32-bit library.
    bool Ours32();

    Registry2& reg_;
    ShellEnvironment& shell_;
    SystemInfo& system_;
    std::string folder_;
    std::string exe_;
    std::string quotedExe_;
    std::string dll_;
    std::string dll32_;
    DebugLog& log_;
    std::function<void(const std::string&)> balloon_;
    // The mail mark at the previous save of this run.
    bool mailHandlerWasOn_ = false;
};

}  // namespace tovela

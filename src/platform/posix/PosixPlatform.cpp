#include <malloc.h>
#include <time.h>

#include "platform/Platform.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/PosixInstance.h"

namespace tovela {
namespace {

class PosixClock final : public Clock {
  public:
    LocalDateTime Now() override {
        time_t now = time(nullptr);
        tm local = {};
        localtime_r(&now, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }
};

class PosixSystemInfo final : public SystemInfo {
  public:
    // The program's rules ask about the Windows family; Linux answers as a current NT.
    OsVersion GetVersion() override { return {}; }
    void EmptyWorkingSet() override { malloc_trim(0); }
    std::string UserDataFolder() override {
        return posix::IniSettingsStore::DefaultConfigFolder() + "/NotificadorTovela";
    }
};

// The arguments joined as one command line; an argument with a blank is quoted, as a
// Windows shell passes a path with blanks.
std::string JoinArguments(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (i > 1) line += ' ';
        bool quote = argument.find(' ') != std::string::npos && argument.front() != '"';
        line += quote ? "\"" + argument + "\"" : argument;
    }
    return line;
}

}  // namespace

std::unique_ptr<Platform> CreatePlatform(int argc, char** argv) {
    auto platform = std::make_unique<Platform>();
    auto loop = std::make_unique<posix::EventLoop>();
    platform->windows = std::make_unique<posix::PosixWindowSystem>(*loop);
    platform->loop = std::move(loop);
    platform->clock = std::make_unique<PosixClock>();
    platform->settings =
        std::make_unique<posix::IniSettingsStore>(posix::IniSettingsStore::DefaultConfigFolder());
    platform->instance = std::make_unique<posix::PosixSingleInstance>();
    platform->system = std::make_unique<PosixSystemInfo>();
    platform->commandLine = JoinArguments(argc, argv);
    return platform;
}

}  // namespace tovela

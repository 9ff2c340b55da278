#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/Platform.h"
#include "platform/posix/CurlHttpRequest.h"
#include "platform/posix/CurlUploadHttp.h"
#include "platform/posix/EventLoop.h"
#include "platform/posix/Factories.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/JsonDesktop.h"
#include "platform/posix/JsonFormWindow.h"
#include "platform/posix/JsonShell.h"
#include "platform/posix/LibXmlHtmlEngine.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixInstance.h"
#include "platform/posix/PosixShellEnvironment.h"
#include "platform/posix/TextShellLinks.h"
#include "platform/posix/ThreadBackgroundWork.h"

namespace tovela {
namespace {

class PosixClock final : public Clock {
public:
    std::int64_t NowUtcMs() override {
        timespec now = {};
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    }
    std::uint32_t TickCount() override {
        timespec now = {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000);
    }
};

// The zone of TZ or /etc/localtime, daylight saving included.
class PosixTimeZone final : public TimeZone {
public:
    int BiasMinutes(std::int64_t utcSeconds) override {
        time_t t = static_cast<time_t>(utcSeconds);
        tm local = {};
        if (!localtime_r(&t, &local)) return 0;
        return static_cast<int>(-local.tm_gmtoff / 60);
    }
};

// TOVELA_TEST_TIME_SCALE, for tests only: a factor above 0 and at most 1 that shortens the
// poll and retry periods and the time limits of a server request alike, so a test sees a
// retry or a time-out without waiting minutes. Anything else means 1.
double TestTimeScale() {
    const char* text = std::getenv("TOVELA_TEST_TIME_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    return *end == '\0' && scale > 0.0 && scale <= 1.0 ? scale : 1.0;
}

std::chrono::milliseconds Scaled(std::chrono::milliseconds period, double scale) {
    const double scaled = std::round(static_cast<double>(period.count()) * scale);
    return std::chrono::milliseconds(std::max<std::int64_t>(1, static_cast<std::int64_t>(scaled)));
}

// The loop owns the timers; the platform hands them out as a service of their own.
class LoopTimers final : public TimerService {
public:
    LoopTimers(posix::EventLoop& loop, double scale) : loop_(loop), scale_(scale) {}
    std::uint32_t SetTimer(std::uint32_t id, std::uint32_t ms, std::function<void()> cb) override {
        if (scale_ != 1.0)
            ms = static_cast<std::uint32_t>(Scaled(std::chrono::milliseconds(ms), scale_).count());
        return loop_.SetTimer(id, ms, std::move(cb));
    }
    bool KillTimer(std::uint32_t id) override { return loop_.KillTimer(id); }

private:
    posix::EventLoop& loop_;
    double scale_;
};

class PosixSystemInfo final : public SystemInfo {
public:
    // The program's rules ask about the Windows family; Linux answers as a current NT.
    OsVersion GetVersion() override { return {}; }
    void EmptyWorkingSet() override { malloc_trim(0); }
    std::string UserDataFolder() override {
        return posix::IniSettingsStore::DefaultConfigFolder() + "/NotificadorTovela";
    }
    std::string SystemErrorText(std::uint32_t code) override {
        return code == 0 ? std::string() : std::string(std::strerror(static_cast<int>(code)));
    }
    std::uint32_t LastError() override { return static_cast<std::uint32_t>(errno); }
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
    auto windows = std::make_unique<posix::PosixWindowSystem>(*loop);
    platform->notifyIcons = std::make_unique<posix::JsonNotifyIcons>(std::cout);
    auto desktop = std::make_unique<posix::JsonDesktop>(std::cout);
    auto form = std::make_unique<posix::JsonFormWindow>(
        std::cout, desktop->Answers(),
        std::make_unique<posix::IniSettingsStore>(posix::IniSettingsStore::DefaultConfigFolder()));
    // A script drives the program through standard input. A terminal is read only while the
    // program runs in its foreground: reading it from the background would stop the program.
    if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) == getpgrp()) {
        form->ListenForInput(*loop, STDIN_FILENO, *windows);
    }
    platform->shell = std::make_unique<posix::JsonShell>(std::cout);
    platform->desktopWindows = std::make_unique<posix::NoDesktopWindows>();
    platform->form = std::move(form);
    platform->desktop = std::move(desktop);
    platform->windows = std::move(windows);
    platform->locale = std::make_unique<posix::PosixLocaleInfo>();
    const double timeScale = TestTimeScale();
    platform->timers = std::make_unique<LoopTimers>(*loop, timeScale);
    platform->loop = std::move(loop);
    platform->clock = std::make_unique<PosixClock>();
    platform->timeZone = std::make_unique<PosixTimeZone>();
    platform->settings =
        std::make_unique<posix::IniSettingsStore>(posix::IniSettingsStore::DefaultConfigFolder());
    platform->instance = std::make_unique<posix::PosixSingleInstance>();
    platform->system = std::make_unique<PosixSystemInfo>();
    platform->xml = posix::CreateXmlFactory();
    HttpLimits httpLimits;
    httpLimits.connectTimeout = Scaled(httpLimits.connectTimeout, timeScale);
    httpLimits.totalTimeout = Scaled(httpLimits.totalTimeout, timeScale);
    platform->http = posix::CreateCurlHttpFactory(httpLimits);
    const std::string config =
        posix::IniSettingsStore::DefaultConfigFolder() + "/NotificadorTovela";
    platform->registry = std::make_unique<posix::FileRegistry>(config + "/registry.reg");
    platform->shellEnvironment = std::make_unique<posix::PosixShellEnvironment>(config + "/SendTo");
    platform->shellLinks = std::make_unique<posix::TextShellLinks>();
    platform->files = std::make_unique<posix::PosixFileSystem>();
    platform->uploadHttp = posix::CreateCurlUploadHttpFactory(UploadLimits{});
    platform->userEnvironment = std::make_unique<posix::PosixUserEnvironment>();
    platform->background = std::make_unique<posix::ThreadBackgroundWork>();
    platform->html = posix::CreateHtmlEngine();
    platform->commandLine = JoinArguments(argc, argv);
    return platform;
}

}  // namespace tovela

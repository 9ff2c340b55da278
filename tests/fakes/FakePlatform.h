#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "fakes/FakeFiles.h"
#include "fakes/FakeFormWindow.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeShell.h"
#include "fakes/FakeShellEnvironment.h"
#include "fakes/FakeTray.h"
#include "fakes/FakeUploadHttp.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/ScriptedHttp.h"
#include "platform/Platform.h"
#include "submit/FallbackHtmlEngine.h"

namespace tovela::testing {

class FakeMessageLoop : public MessageLoop {
public:
    void SetShutdownHandler(std::function<void()> h) override { shutdown = std::move(h); }
    int Run() override { return 0; }
    void Quit() override { ++quitCalls; }
    std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t>,
                                            std::uint32_t) override {
        if (waitResults.empty()) return kWaitTimeout;
        std::uint32_t r = waitResults.front();
        waitResults.erase(waitResults.begin());
        return r;
    }
    void DoEvents() override { ++doEventsCalls; }

    std::function<void()> shutdown;
    int quitCalls = 0;
    int doEventsCalls = 0;
    std::vector<std::uint32_t> waitResults;  // what the next waits return
};

// A clock that only moves when a test moves it.
class FakeClock final : public Clock {
public:
    std::int64_t NowUtcMs() override { return utcMs; }
    std::uint32_t TickCount() override { return tick; }
    std::int64_t utcMs = 1796543475000;  // 2026-12-06 07:51:15 UTC
    std::uint32_t tick = 1000;
};

// A zone with a fixed bias, or a rule given by the test.
class FakeTimeZone final : public TimeZone {
public:
    int BiasMinutes(std::int64_t utcSeconds) override { return rule ? rule(utcSeconds) : bias; }
    int bias = 0;
    std::function<int(std::int64_t)> rule;
};

// The long time format of a 24-hour locale, or of a 12-hour one when a test asks.
class FakeLocaleInfo final : public LocaleInfo {
public:
    std::string LongTimeText(const LocalDateTime& t) override {
        const int hour = !twelveHour ? t.hour : t.hour % 12 == 0 ? 12 : t.hour % 12;
        const char* suffix = !twelveHour ? "" : t.hour < 12 ? " AM" : " PM";
        char text[48];
        std::snprintf(text, sizeof text, "%d:%02d:%02d%s", hour, t.minute, t.second, suffix);
        return text;
    }
    bool twelveHour = false;
};

// Timers that fire only when a test says so.
class FakeTimers final : public TimerService {
public:
    struct Timer {
        std::uint32_t milliseconds;
        std::function<void()> callback;
    };
    std::uint32_t SetTimer(std::uint32_t id, std::uint32_t ms, std::function<void()> cb) override {
        ++setCalls;
        if (refuse > 0) {
            --refuse;
            return 0;
        }
        active[id] = {ms, std::move(cb)};
        return id;
    }
    bool KillTimer(std::uint32_t id) override {
        ++killCalls;
        return active.erase(id) > 0;
    }
    void Fire(std::uint32_t id) {
        auto callback = active.at(id).callback;
        callback();
    }
    std::map<std::uint32_t, Timer> active;
    int setCalls = 0;
    int killCalls = 0;
    int refuse = 0;  // how many SetTimer calls fail before one succeeds
};

class FakeSingleInstance final : public SingleInstance {
public:
    struct Sent {
        std::uint32_t kind;
        std::optional<std::string> payload;
    };
    bool PrevInstance() override { return previous; }
    bool SendCopyData(std::uint32_t kind, const std::optional<std::string>& payload) override {
        sent.push_back({kind, payload});
        return windowFound;
    }
    bool previous = false;
    bool windowFound = true;
    std::vector<Sent> sent;
};

class FakeSystemInfo final : public SystemInfo {
public:
    OsVersion GetVersion() override { return version; }
    void EmptyWorkingSet() override { ++trims; }
    std::string UserDataFolder() override { return userDataFolder; }
    std::string SystemErrorText(std::uint32_t code) override {
        return code ? "system error " + std::to_string(code) : std::string();
    }
    std::uint32_t LastError() override { return lastError; }
    std::uint32_t lastError = 0;
    std::string userDataFolder = "C:\\Profile\\NotificadorTovela";
    OsVersion version;
    int trims = 0;
};

// Unit tests run without an XML engine: every document fails to load.
class NoXml final : public XmlFactory {
public:
    class Document final : public XmlDocument {
    public:
        bool LoadXml(std::string_view) override { return false; }
        const XmlParseError& ParseError() const override { return error_; }
        const XmlNode* DocumentElement() const override { return nullptr; }

    private:
        XmlParseError error_{"no XML engine in unit tests", ""};
    };
    std::unique_ptr<XmlDocument> CreateDocument() override { return std::make_unique<Document>(); }
};

// A whole platform of fakes, with typed access to each one.
struct FakePlatform {
    FakePlatform() {
        platform.xml = std::make_unique<NoXml>();
        shellLinks->shell = shellEnvironment;
    }

    Platform platform;
    FakeMessageLoop* loop = Install<FakeMessageLoop>(platform.loop);
    FakeClock* clock = Install<FakeClock>(platform.clock);
    FakeTimeZone* timeZone = Install<FakeTimeZone>(platform.timeZone);
    FakeTimers* timers = Install<FakeTimers>(platform.timers);
    FakeSettingsStore* settings = Install<FakeSettingsStore>(platform.settings);
    FakeSingleInstance* instance = Install<FakeSingleInstance>(platform.instance);
    FakeWindowSystem* windows = Install<FakeWindowSystem>(platform.windows);
    FakeSystemInfo* system = Install<FakeSystemInfo>(platform.system);
    ScriptedHttp* http = Install<ScriptedHttp>(platform.http);
    FakeTray* notifyIcons = Install<FakeTray>(platform.notifyIcons);
    FakeDesktop* desktop = Install<FakeDesktop>(platform.desktop);
    FakeFormWindow* form = Install<FakeFormWindow>(platform.form);
    FakeShell* shell = Install<FakeShell>(platform.shell);
    FakeDesktopWindows* desktopWindows = Install<FakeDesktopWindows>(platform.desktopWindows);
    FakeLocaleInfo* locale = Install<FakeLocaleInfo>(platform.locale);
    FakeRegistry* registry = Install<FakeRegistry>(platform.registry);
    FakeShellEnvironment* shellEnvironment =
        Install<FakeShellEnvironment>(platform.shellEnvironment);
    FakeShellLinks* shellLinks = Install<FakeShellLinks>(platform.shellLinks);
    FakeFileSystem* files = Install<FakeFileSystem>(platform.files);
    FakeUploadHttp* uploadHttp = Install<FakeUploadHttp>(platform.uploadHttp);
    FakeUserEnvironment* userEnvironment = Install<FakeUserEnvironment>(platform.userEnvironment);
    FakeBackgroundWork* background = Install<FakeBackgroundWork>(platform.background);
    // The portable engine answers the same everywhere.
    FallbackHtmlEngine* html = Install<FallbackHtmlEngine>(platform.html);

private:
    template <typename Fake, typename Port>
    static Fake* Install(std::unique_ptr<Port>& slot) {
        auto fake = std::make_unique<Fake>();
        Fake* typed = fake.get();
        slot = std::move(fake);
        return typed;
    }
};

}  // namespace tovela::testing

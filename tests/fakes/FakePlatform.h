#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/FakeDesktop.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeTray.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/ScriptedHttp.h"
#include "platform/Platform.h"

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

// The long time format of a 24-hour locale.
class FakeLocaleInfo final : public LocaleInfo {
public:
    std::string LongTimeText(const LocalDateTime& t) override {
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100,
                      t.second % 100);
        return text;
    }
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
    std::string UserDataFolder() override { return {}; }
    std::string SystemErrorText(std::uint32_t code) override {
        return code ? "system error " + std::to_string(code) : std::string();
    }
    std::uint32_t LastError() override { return lastError; }
    std::uint32_t lastError = 0;
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
        auto l = std::make_unique<FakeMessageLoop>();
        auto c = std::make_unique<FakeClock>();
        auto z = std::make_unique<FakeTimeZone>();
        auto t = std::make_unique<FakeTimers>();
        auto s = std::make_unique<FakeSettingsStore>();
        auto i = std::make_unique<FakeSingleInstance>();
        auto w = std::make_unique<FakeWindowSystem>();
        auto y = std::make_unique<FakeSystemInfo>();
        auto h = std::make_unique<ScriptedHttp>();
        auto n = std::make_unique<FakeTray>();
        auto d = std::make_unique<FakeDesktop>();
        auto e = std::make_unique<FakeLocaleInfo>();
        loop = l.get();
        clock = c.get();
        timeZone = z.get();
        timers = t.get();
        settings = s.get();
        instance = i.get();
        windows = w.get();
        system = y.get();
        http = h.get();
        notifyIcons = n.get();
        desktop = d.get();
        locale = e.get();
        platform.loop = std::move(l);
        platform.clock = std::move(c);
        platform.timeZone = std::move(z);
        platform.timers = std::move(t);
        platform.settings = std::move(s);
        platform.instance = std::move(i);
        platform.windows = std::move(w);
        platform.system = std::move(y);
        platform.http = std::move(h);
        platform.notifyIcons = std::move(n);
        platform.desktop = std::move(d);
        platform.locale = std::move(e);
        platform.xml = std::make_unique<NoXml>();
    }
    Platform platform;
    FakeMessageLoop* loop;
    FakeClock* clock;
    FakeTimeZone* timeZone;
    FakeTimers* timers;
    FakeSettingsStore* settings;
    FakeSingleInstance* instance;
    FakeWindowSystem* windows;
    FakeSystemInfo* system;
    ScriptedHttp* http;
    FakeTray* notifyIcons;
    FakeDesktop* desktop;
    FakeLocaleInfo* locale;
};

}  // namespace tovela::testing

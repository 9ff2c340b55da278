#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeWindowSystem.h"
#include "platform/Platform.h"

namespace tovela::testing {

class FakeMessageLoop final : public MessageLoop {
  public:
    void SetShutdownHandler(std::function<void()> h) override { shutdown = std::move(h); }
    int Run() override { return 0; }
    void Quit() override { ++quitCalls; }
    std::function<void()> shutdown;
    int quitCalls = 0;
};

class FakeClock final : public Clock {
  public:
    LocalDateTime Now() override { return now; }
    LocalDateTime now{2026, 12, 6, 7, 51, 15};
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
    OsVersion version;
    int trims = 0;
};

// A whole platform of fakes, with typed access to each one.
struct FakePlatform {
    FakePlatform() {
        auto l = std::make_unique<FakeMessageLoop>();
        auto c = std::make_unique<FakeClock>();
        auto s = std::make_unique<FakeSettingsStore>();
        auto i = std::make_unique<FakeSingleInstance>();
        auto w = std::make_unique<FakeWindowSystem>();
        auto y = std::make_unique<FakeSystemInfo>();
        loop = l.get();
        clock = c.get();
        settings = s.get();
        instance = i.get();
        windows = w.get();
        system = y.get();
        platform.loop = std::move(l);
        platform.clock = std::move(c);
        platform.settings = std::move(s);
        platform.instance = std::move(i);
        platform.windows = std::move(w);
        platform.system = std::move(y);
    }
    Platform platform;
    FakeMessageLoop* loop;
    FakeClock* clock;
    FakeSettingsStore* settings;
    FakeSingleInstance* instance;
    FakeWindowSystem* windows;
    FakeSystemInfo* system;
};

}  // namespace tovela::testing

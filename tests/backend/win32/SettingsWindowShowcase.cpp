#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "backend/win32/FormWindowFixture.h"

namespace tovela::win32 {
namespace {

// Not a check but a sitting for screenshots, when TOVELA_SHOWCASE is set: the settings
// window with the Japanese texts until someone presses "閉じる" (the Wine probe), then the
// tray menu at the lower right corner until an item is picked. Bounded by two minutes.
TEST(SettingsWindowShowcase, ShowsTheWindowAndThenTheTrayMenuUntilTheProbeActs) {
    if (!std::getenv("TOVELA_SHOWCASE")) GTEST_SKIP() << "TOVELA_SHOWCASE is not set";
    ShownFormWindow w;
    w.window.Render(JapaneseModel());
    const auto closed = [&] {
        const auto& log = w.events.log;
        return std::find(log.begin(), log.end(), "button cmdCerrar") != log.end();
    };
    ASSERT_TRUE(PumpUntil(*w.form, closed, 120000));
    SettingsWindowModel hidden = JapaneseModel();
    hidden.visible = false;
    w.window.Render(hidden);
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 40, GetSystemMetrics(SM_CYSCREEN) - 40);
    const int picked = w.window.TrackPopupMenu(TrayMenu());
    for (const std::string& event : w.events.log) std::printf("%s\n", event.c_str());
    std::printf("picked %d\n", picked);
    EXPECT_NE(picked, 0);
}

}  // namespace
}  // namespace tovela::win32

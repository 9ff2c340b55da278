#include <gtest/gtest.h>

#include "notify/TrayMenus.h"

namespace tovela {
namespace {

constexpr std::int64_t kNow = 1'000'000;

TEST(TrayMenusTest, TrayMenuNeedsASessionToOpenOrCheck) {
    for (const bool session : {false, true}) {
        SCOPED_TRACE(session ? "session" : "no session");
        TrayMenus menus;
        PrepareTrayMenu(menus, session);
        const auto items = TrayMenuItems(menus);
        ASSERT_EQ(items.size(), 7u);
        EXPECT_EQ(items[0].name, "mnuPopAbrirTovela");
        EXPECT_TRUE(items[0].isDefault);
        EXPECT_EQ(items[0].enabled, session);
        EXPECT_EQ(items[1].enabled, session);
        // Settings, integration, about and exit stay available.
        for (std::size_t i : {2u, 3u, 5u, 6u}) EXPECT_TRUE(items[i].enabled) << items[i].name;
        EXPECT_TRUE(items[4].separator);
        ASSERT_EQ(items[3].submenu.size(), 2u);
        EXPECT_EQ(items[3].submenu[0].name, "mnuPopWinSetupMailtoHandler");
        EXPECT_EQ(items[6].command, static_cast<int>(MenuCommand::mnuPopSalir));
    }
}

TEST(TrayMenusTest, CalendarMenuFollowsTheAppointment) {
    const std::string thirty = "123456789012345678901234567890";
    struct Case {
        const char* name;
        std::string title, allDay, organiser;
        std::int64_t start;
        bool notify;
        std::string caption;
        bool done, remove;
    } cases[] = {
        {"organiser of a running meeting", "Review", "", "1", kNow - 60, true, "Review...", true,
         true},
        {"thirty characters still get the dots", thirty, "", "1", kNow, true, thirty + "...", true,
         true},
        {"a longer title is cut first", thirty + "X", "", "0", kNow, false, thirty + "...", false,
         false},
        {"a pair of units is not split", std::string(29, 'a') + "\U0001F600", "", "1", kNow, true,
         std::string(29, 'a') + "...", true, true},
        {"all day", "Holiday", "1", "1", kNow - 60, true, "Holiday...", false, true},
        {"starts later", "Call", "", "1", kNow + 60, true, "Call...", false, true},
        {"invited", "Lunch", "", "0", kNow - 60, true, "Lunch...", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Appointment a;
        a.sName = c.title;
        a.sAllDay = c.allDay;
        a.sIsOrg = c.organiser;
        a.dStart = c.start;
        a.bNotify = c.notify;
        a.sWhen = "10:00 - 11:00";
        TrayMenus menus;
        PrepareCalendarMenu(menus, a, kNow);
        EXPECT_EQ(menus.mnuCalCaption.caption, c.caption);
        EXPECT_EQ(menus.mnuCalWhen.caption, "いつ: 10:00 - 11:00");
        EXPECT_EQ(menus.mnuCalTerminada.enabled, c.done);
        EXPECT_EQ(menus.mnuCalEliminar.enabled, c.remove);
        EXPECT_EQ(menus.mnuCalNotificar.checked, c.notify);

        // The done entry is never shown; the others come in their order, none the default.
        std::vector<std::string> names;
        for (const MenuItem& item : CalendarMenuItems(menus)) {
            names.push_back(item.separator ? "-" : item.name);
            EXPECT_FALSE(item.isDefault);
        }
        EXPECT_EQ(names,
                  (std::vector<std::string>{"mnuCalCaption", "mnuCalWhen", "-", "mnuCalAbrirTovela",
                                            "mnuCalEliminar", "mnuCalNotificar"}));
    }
}

}  // namespace
}  // namespace tovela

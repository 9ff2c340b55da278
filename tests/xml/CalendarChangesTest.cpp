#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "xml/CalendarFixture.h"

namespace tovela::testing {
namespace {

using ChangesTest = ZonedFixture;

TEST_P(ChangesTest, ReleaseEmptiesTheSlotTheTableEndsAtItsLastRecordResetKeepsSlotZero) {
    now = At(0, 9, 50);
    List(Appt(R"(id="A" l="10")", At(0, 10)) + Appt(R"(id="B" l="10")", At(0, 10)) +
         Appt(R"(id="C" l="10")", At(0, 10)));
    calendar.Release("B");
    EXPECT_EQ(calendar.aCalIcons[2], nullptr);
    EXPECT_EQ(calendar.FindApptIndex("C"), 3);
    EXPECT_EQ(tray.shown.size(), 2u);
    List(Appt(R"(id="D" l="10")", At(0, 10)));
    EXPECT_EQ(calendar.FindApptIndex("D"), 4);
    EXPECT_EQ(Record("D")->Tag, 4);
    // The last ones go, and the empty slots before them with them; the next record takes
    // the end again.
    calendar.Release("D");
    calendar.Release("C");
    EXPECT_EQ(calendar.aCalIcons.size(), 2u);
    List(Appt(R"(id="E" l="10")", At(0, 10)));
    EXPECT_EQ(Record("E")->Tag, 2);
    EXPECT_EQ(calendar.FindApptIndex("A"), 1);

    calendar.Reset();
    EXPECT_EQ(calendar.aCalIcons.size(), 1u);
    EXPECT_EQ(calendar.aCalIcons[0], nullptr);
    EXPECT_TRUE(tray.shown.empty());
    EXPECT_TRUE(windows.live.empty());
}

TEST_P(ChangesTest, ChangeTakesTheComponentsAttributesAndNextAlarm) {
    now = At(0, 9, 50);
    List(Appt(R"(id="A1" name="Plan" l="10")", At(0, 10)));
    Change(R"(<appt id="A1" l="11" nextAlarm=")" + Ms(At(0, 9, 55)) +
           R"("><inv><comp status="CANC" loc="Hall" compNum="1" fb="F" x_uid="u-2" fba="O" )"
           R"(transp="T" isOrg="0" name="Plan B"/></inv></appt>)");
    const Icontify& r = *Record("A1");
    EXPECT_TRUE(r.bModified);
    const std::vector<std::string> fields{
        r.sStatus,         r.sLocation,     r.sCompNum, r.sFreeBusy, r.sUid,
        r.sFreeBusyActual, r.sTransparency, r.sIsOrg,   r.sName,     r.sFolderId};
    EXPECT_EQ(fields, (std::vector<std::string>{"CANC", "Hall", "1", "F", "u-2", "O", "T", "0",
                                                "Plan B", "11"}));
    EXPECT_EQ(Text(r.dAlarm), Text(At(0, 9, 55)));
}

INSTANTIATE_TEST_SUITE_P(Zones, ChangesTest, ::testing::ValuesIn(kZones), ZoneName);

// Placeholders: {sZ}/{eZ} tomorrow 10:00/11:00 as UTC texts, {sL}/{eL} as local texts,
// {day} tomorrow's date, {off} this zone's standard offset and {east} one an hour east of it.
struct ChangeCase {
    const char* name;
    const char* version;
    const char* appt;
    bool released;
    bool modified;
    std::int64_t start;  // seconds from today's midnight
    std::int64_t end;
    const char* when;
    const char* tags;
    const char* allDay;
};
void PrintTo(const ChangeCase& c, std::ostream* out) {
    *out << c.name;
}

using ChangeTest = ZonedTableFixture<ChangeCase>;

TEST_P(ChangeTest, UpdatesTheKeptRecord) {
    const ChangeCase& c = row();
    now = At(0, 9, 50);
    List(Appt(R"(id="A1" name="Plan" t="64" l="10")", At(0, 10)));
    const std::int64_t utc = static_cast<std::int64_t>(bias) * 60;
    std::string appt = c.appt;
    appt = Replace(appt, "{sZ}", Compact(At(1, 10) + utc, "Z"));
    appt = Replace(appt, "{eZ}", Compact(At(1, 11) + utc, "Z"));
    appt = Replace(appt, "{sL}", Compact(At(1, 10), ""));
    appt = Replace(appt, "{eL}", Compact(At(1, 11), ""));
    appt = Replace(appt, "{day}", Compact(At(1, 0), "").substr(0, 8));
    appt = Replace(appt, "{off}", std::to_string(-bias));
    appt = Replace(appt, "{east}", std::to_string(-bias + 60));
    Change(appt, c.version);

    const Icontify* r = Record("A1");
    ASSERT_EQ(r == nullptr, c.released);
    if (c.released) return;
    EXPECT_EQ(r->bModified, c.modified);
    EXPECT_EQ(Text(r->dStart), Text(midnight + c.start));
    EXPECT_EQ(Text(r->dEnd), Text(midnight + c.end));
    EXPECT_EQ(r->sWhen, c.when);
    EXPECT_EQ(r->sTags, c.tags);
    EXPECT_EQ(r->sAllDay, c.allDay);
}

constexpr std::int64_t kTomorrow = 24 * kH;
const ChangeCase kChanges[] = {
    {"TagsAloneDoNotAlert", "8.0", R"(<appt id="A1" t="1,64" l="10"/>)", false, false, 10 * kH,
     11 * kH, "10:00 - 11:00", "1,64", ""},
    {"MissingTagsEmptied", "8.0", R"(<appt id="A1" l="10"/>)", false, false, 10 * kH, 11 * kH,
     "10:00 - 11:00", "", ""},
    {"UtcDates", "8.0",
     R"(<appt id="A1" t="64"><inv><comp><s d="{sZ}"/><e d="{eZ}"/></comp></inv></appt>)", false,
     true, kTomorrow + 10 * kH, kTomorrow + 11 * kH, "明日10:00 - 11:00", "64", ""},
    {"LocalDates", "8.0",
     R"(<appt id="A1" t="64"><inv><comp><s d="{sL}"/><e d="{eL}"/></comp></inv></appt>)", false,
     true, kTomorrow + 10 * kH, kTomorrow + 11 * kH, "明日10:00 - 11:00", "64", ""},
    {"StartAloneKeepsWhen", "8.0",
     R"(<appt id="A1" t="64"><inv><comp><s d="{sL}"/></comp></inv></appt>)", false, true,
     kTomorrow + 10 * kH, 11 * kH, "10:00 - 11:00", "64", ""},
    {"AllDay", "8.0",
     R"(<appt id="A1" t="64"><inv><comp allDay="1"><s d="{day}"/><e d="{day}"/></comp>)"
     R"(</inv></appt>)",
     false, true, kTomorrow, kTomorrow + 24 * kH - 1, "明日終日", "64", "1"},
    {"StdoffOfThisZoneKeepsTimes", "8.0",
     R"(<appt id="A1" t="64"><inv><tz stdoff="{off}"/><comp><s d="{sL}"/><e d="{eL}"/>)"
     R"(</comp></inv></appt>)",
     false, true, kTomorrow + 10 * kH, kTomorrow + 11 * kH, "明日10:00 - 11:00", "64", ""},
    {"StdoffAnHourEastMovesBack", "8.0",
     R"(<appt id="A1" t="64"><inv><tz stdoff="{east}"/><comp><s d="{sL}"/><e d="{eL}"/>)"
     R"(</comp></inv></appt>)",
     false, true, kTomorrow + 9 * kH, kTomorrow + 10 * kH, "明日9:00 - 10:00", "64", ""},
    {"StdoffAloneAlerts", "8.0", R"(<appt id="A1" t="64"><inv><tz stdoff="{off}"/></inv></appt>)",
     false, true, 10 * kH, 11 * kH, "10:00 - 11:00", "64", ""},
    {"TrashOnNewServer", "6.0.1", R"(<appt id="A1" l="3"/>)", true, false, 0, 0, "", "", ""},
    {"TrashOnOldServerStays", "5.0.9", R"(<appt id="A1" t="64" l="3"/>)", false, false, 10 * kH,
     11 * kH, "10:00 - 11:00", "64", ""},
    {"TrashWithDatesStays", "8.0",
     R"(<appt id="A1" t="64" l="3"><inv><comp><s d="{sL}"/></comp></inv></appt>)", false, true,
     kTomorrow + 10 * kH, 11 * kH, "10:00 - 11:00", "64", ""},
    {"OtherIdIgnored", "8.0", R"(<appt id="B9" l="3"/>)", false, false, 10 * kH, 11 * kH,
     "10:00 - 11:00", "64", ""},
};

INSTANTIATE_TEST_SUITE_P(Changes, ChangeTest,
                         ::testing::Combine(::testing::ValuesIn(kZones),
                                            ::testing::ValuesIn(kChanges)),
                         ZoneAndRowName<ChangeCase>);

// Pruning -------------------------------------------------------------------------------

constexpr std::int64_t kUnset = -999999;

// Times relative to now; kUnset leaves the alarm not worked out.
struct PruneCase {
    const char* name;
    std::int64_t alarm;
    std::int64_t start;
    std::int64_t end;
    const char* tags;
    const char* folder;
    bool white;
    const char* filter;
    bool kept;
};
void PrintTo(const PruneCase& c, std::ostream* out) {
    *out << c.name;
}

class PruneTest : public CalendarFixture, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(PruneTest, KeepsDueOrRunningRecordsTheFilterLetsThrough) {
    const PruneCase& c = GetParam();
    now = At(0, 12);
    white = c.white;
    filter = c.filter;
    auto record = std::make_unique<Icontify>(TrayServices{windows, tray});
    record->dAlarm = c.alarm == kUnset ? 0 : now + c.alarm;
    record->dStart = now + c.start;
    record->dEnd = now + c.end;
    record->sTags = c.tags;
    record->sFolderId = c.folder;
    record->Iconizar("Plan\r\nいつ: 12:00");
    calendar.aCalIcons.push_back(std::move(record));

    calendar.PruneAppointments(Ctx());
    // A pruned last record takes its slot with it.
    EXPECT_EQ(calendar.aCalIcons.size(), c.kept ? 2u : 1u);
    EXPECT_EQ(tray.shown.size(), c.kept ? 1u : 0u);
}

const PruneCase kPrunes[] = {
    {"Running", kUnset, -10 * kM, 50 * kM, "", "10", false, "迷惑メール", true},
    {"EndsNow", kUnset, -60 * kM, 0, "", "10", false, "迷惑メール", true},
    {"Ended", kUnset, -60 * kM, -1, "", "10", false, "迷惑メール", false},
    {"AlarmNow", 0, 5 * kM, 65 * kM, "", "10", false, "迷惑メール", true},
    {"AlarmMovedLater", 1, 30 * kM, 90 * kM, "", "10", false, "迷惑メール", false},
    {"ReminderMinutesBeforeStart", kUnset, 15 * kM, 75 * kM, "", "10", false, "迷惑メール", true},
    {"ReminderNotYet", kUnset, 15 * kM + 1, 75 * kM, "", "10", false, "迷惑メール", false},
    {"BlackListedFolder", kUnset, -10 * kM, 50 * kM, "", "4", false, "迷惑メール", false},
    {"WhiteListedTag", kUnset, -10 * kM, 50 * kM, "64", "10", true, "Urgent", true},
    {"WhiteListOtherFolder", kUnset, -10 * kM, 50 * kM, "", "10", true, "受信箱", false},
};
INSTANTIATE_TEST_SUITE_P(Records, PruneTest, ::testing::ValuesIn(kPrunes),
                         [](const auto& row) { return std::string(row.param.name); });

// Thousands of due appointments: each found by its id whatever was released before it,
// and only so many icons at once; the rest are told in the reminder lines and get their
// icons as others go.
TEST_F(CalendarFixture, ManyDueAppointmentsAreIndexedAndTheirIconsBounded) {
    now = At(0, 10);
    std::string appts;
    for (int i = 0; i < 2000; ++i) {
        appts += Appt("id=\"a" + std::to_string(i) + "\" name=\"M" + std::to_string(i) + "\"",
                      At(0, 9, 30));
    }
    List(appts);
    const auto shown = [&] {
        std::size_t n = 0;
        for (const auto& r : calendar.aCalIcons) n += r && r->IconShown();
        return n;
    };
    EXPECT_EQ(shown(), Calendar::kMaxReminderIcons);
    EXPECT_NE(reminders.find("M1999 "), std::string::npos);

    for (int i = 0; i < 2000; i += 2) calendar.Release("a" + std::to_string(i));
    for (int i = 0; i < 2000; ++i) {
        const Icontify* r = Record(("a" + std::to_string(i)).c_str());
        ASSERT_EQ(r == nullptr, i % 2 == 0) << i;
        if (r) {
            EXPECT_EQ(r->sName, "M" + std::to_string(i));
        }
    }
    reminders.clear();
    List(appts);  // released ones come back as new records at the end
    EXPECT_EQ(shown(), Calendar::kMaxReminderIcons);
    EXPECT_EQ(Record("a0")->Tag, 2001);
}

}  // namespace
}  // namespace tovela::testing

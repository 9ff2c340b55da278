#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "session/CalendarDates.h"
#include "xml/CalendarFixture.h"

namespace tovela::testing {
namespace {

// Dates ---------------------------------------------------------------------------------

enum class Reader { DayStart, DayEnd, DateTime };

struct DateCase {
    const char* name;
    Reader reader;
    const char* text;
    int bias;
    const char* expected;  // null: not a date
};
void PrintTo(const DateCase& c, std::ostream* out) {
    *out << c.name;
}

class ServerDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ServerDateTest, Reads) {
    const DateCase& c = GetParam();
    const auto read =
        c.reader == Reader::DateTime
            ? ReadDateTime(c.text, c.bias)
            : ReadDateOnly(c.text, c.reader == Reader::DayStart ? DayEdge::Start : DayEdge::End);
    if (c.expected == nullptr) {
        EXPECT_FALSE(read.has_value()) << Text(read.value_or(0));
    } else {
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(Text(*read), c.expected);
    }
}

const DateCase kDates[] = {
    {"DayStart", Reader::DayStart, "20240501", 0, "2024/05/01 00:00:00"},
    {"DayEnd", Reader::DayEnd, "20240501", -540, "2024/05/01 23:59:59"},
    {"UtcInTokyo", Reader::DateTime, "20240501T013000Z", -540, "2024/05/01 10:30:00"},
    {"UtcInUtc", Reader::DateTime, "20240501T013000Z", 0, "2024/05/01 01:30:00"},
    {"UtcInNewYorkSummer", Reader::DateTime, "20240501T013000Z", 240, "2024/04/30 21:30:00"},
    {"LocalKeepsItsTime", Reader::DateTime, "20240501T013000", -540, "2024/05/01 01:30:00"},
    {"LowerCaseZ", Reader::DateTime, "20240501T013000z", 0, nullptr},
    {"TrailingText", Reader::DateTime, "20240501T013000X", 0, nullptr},
    {"NoSuchDay", Reader::DayStart, "20240230", 0, nullptr},
    {"NoSuchHour", Reader::DateTime, "20240501T250000", 0, nullptr},
    {"DateTimeAsDateOnly", Reader::DayStart, "20240501T100000", 0, nullptr},
    {"TooShort", Reader::DayStart, "2024051", 0, nullptr},
    {"WideDigits", Reader::DayStart, "２０２４0501", 0, nullptr},
    {"Empty", Reader::DateTime, "", 0, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Texts, ServerDateTest, ::testing::ValuesIn(kDates),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FormatoFechaTest, DropsTheSecondsInBothClockForms) {
    FakeLocaleInfo locale;
    struct Row {
        LocalDateTime at;
        const char* h24;
        const char* h12;
    };
    for (const Row& row : {Row{{2024, 5, 1, 14, 5, 9}, "14:05", "2:05 PM"},
                           Row{{2024, 5, 1, 9, 45, 0}, "9:45", "9:45 AM"},
                           Row{{2024, 5, 1, 0, 0, 59}, "0:00", "12:00 AM"}}) {
        SCOPED_TRACE(row.h24);
        locale.twelveHour = false;
        EXPECT_EQ(FormatoFecha(locale, ToLocalSeconds(row.at)), row.h24);
        locale.twelveHour = true;
        EXPECT_EQ(FormatoFecha(locale, ToLocalSeconds(row.at)), row.h12);
    }
}

// The text fields of a record, in one order.
std::vector<std::string> TextFields(const Icontify& r) {
    return {r.sName,     r.sRecur,        r.sInvId,   r.sDuration, r.sStatus, r.sLocation,
            r.sFolderId, r.sTags,         r.sCompNum, r.sFreeBusy, r.sUid,    r.sFreeBusyActual,
            r.sPartStat, r.sTransparency, r.sAllDay,  r.sIsOrg,    r.sWhen};
}

// Listing -------------------------------------------------------------------------------

using ListingTest = ZonedFixture;

TEST_P(ListingTest, ReminderMinutesMakeItDueAndTheHourBeforeOnlySoon) {
    newDay = true;
    now = At(0, 9, 44);
    List(Appt(R"(id="A1" name="Standup" l="10")", At(0, 10)));
    EXPECT_EQ(summary, "・10:00 Standup\r\n");
    EXPECT_EQ(calendar.aCalIcons.size(), 1u);
    EXPECT_TRUE(tray.calls.empty());

    now = At(0, 9, 45);
    newDay = false;
    List(Appt(R"(id="A1" name="Standup" l="10")", At(0, 10)));
    ASSERT_NE(Record("A1"), nullptr);
    EXPECT_EQ(Record("A1")->dAlarm, At(0, 9, 45));
    EXPECT_EQ(Balloons(), std::vector<std::string>{"Standup|いつ: 10:00 - 11:00"});
    EXPECT_EQ(reminders, "Standup 10:00 - 11:00\r\n");
    EXPECT_EQ(summary, "・10:00 Standup\r\n");  // nothing more without a new day
}

TEST_P(ListingTest, TakesTheFirstInstanceThatHasNotEnded) {
    // The first instance ends this very second, so it is over; the second starts now.
    now = At(0, 10);
    List(R"(<appt id="R1" name="Daily" recur="1" l="10" d="3600000"><inst s=")" + Ms(At(0, 9)) +
         R"("/><inst s=")" + Ms(At(0, 10)) + R"(" dur="5400000"/><inst s=")" + Ms(At(1, 10)) +
         R"("/></appt>)");
    ASSERT_NE(Record("R1"), nullptr);
    EXPECT_EQ(Text(Record("R1")->dStart), Text(At(0, 10)));
    EXPECT_EQ(Text(Record("R1")->dEnd), Text(At(0, 11, 30)));
    EXPECT_EQ(Record("R1")->dAlarm, 0);  // running, never worked out
}

TEST_P(ListingTest, FirstCheckOfTheDayListsTheComing24Hours) {
    newDay = true;
    now = At(0, 12, 1);
    // An all-day event made in Tokyo keeps its date in every zone; without "tzo" it is read
    // in ours.
    const std::string tokyoMidnight =
        std::to_string((At(1, 0) - 9 * kH) * 1000) + R"(" tzo="32400000"/>)";
    List(R"(<appt id="H" name="Holiday" allDay="1" l="10" d="86400000"><inst s=")" + tokyoMidnight +
         "</appt>" + R"(<appt id="G" name="Ours" allDay="1" l="10"><inst s=")" + Ms(At(1, 0)) +
         "\"/></appt>" + Appt(R"(id="T" name="Review" l="10")", At(1, 12, 59)) +
         Appt(R"(id="F" name="TooFar" l="10")", At(1, 13)) +
         Appt(R"(id="L" name="Lunch" l="10")", At(0, 13)));
    EXPECT_EQ(summary,
              "・明日終日 Holiday\r\n・明日終日 Ours\r\n・明日12:59 Review\r\n・13:00 Lunch\r\n");
    EXPECT_EQ(calendar.aCalIcons.size(), 1u);

    summary.clear();
    locale.twelveHour = true;
    List(Appt(R"(id="T" name="Review" l="10")", At(1, 9, 5)));
    EXPECT_EQ(summary, "・明日9:05 AM Review\r\n");
}

TEST_P(ListingTest, RecordTakesEveryFieldAndReportsThroughTheRelay) {
    now = At(0, 9, 50);
    List(Appt(R"(id="A1" name="Plan" recur="0" invId="A1-2" status="CONF" loc="Room 5" l="10" )"
              R"(t="64" compNum="0" fb="B" x_uid="u-1" fba="T" ptst="AC" transp="O" allDay="0" )"
              R"(isOrg="1")",
              At(0, 10)));
    Icontify* r = Record("A1");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(calendar.FindApptIndex("A1"), 1);
    EXPECT_EQ(r->Tag, 1);
    EXPECT_EQ(r->hIcon, kCalendarPicture);
    EXPECT_TRUE(r->bNotify);
    EXPECT_TRUE(r->bReminderShown);
    EXPECT_FALSE(r->bModified);
    EXPECT_EQ(TextFields(*r), (std::vector<std::string>{"Plan", "0", "A1-2", "3600000", "CONF",
                                                        "Room 5", "10", "64", "0", "B", "u-1", "T",
                                                        "AC", "O", "0", "1", "10:00 - 11:00"}));
    EXPECT_EQ(tray.last().data.hIcon, kCalendarPicture);

    windows.live.back()->sink().OnTrayCallback(0x0405);  // balloon clicked
    EXPECT_EQ(relayEvents.sources, std::vector<Icontify*>{r});

    List(Appt(R"(id="B" l="10")", At(0, 10)));
    ASSERT_NE(Record("B"), nullptr);
    EXPECT_EQ(Record("B")->Tag, 2);
    EXPECT_EQ(TextFields(*Record("B")),
              (std::vector<std::string>{"", "", "", "3600000", "", "", "10", "", "", "", "", "", "",
                                        "", "", "", "10:00 - 11:00"}));
}

TEST_P(ListingTest, ShowsTheBalloonAgainOnlyAfterItWasShownAndStopsWhenSwitchedOff) {
    now = At(0, 9, 50);
    const std::string appt = Appt(R"(id="A1" name="Plan" l="10")", At(0, 10));
    List(appt);
    List(Appt(R"(id="A1" name="Renamed" l="10")", At(0, 10)));  // a kept record stays as it was
    EXPECT_EQ(Balloons().size(), 1u);
    EXPECT_EQ(reminders, "Plan 10:00 - 11:00\r\nPlan 10:00 - 11:00\r\n");

    Record("A1")->bReminderShown = false;  // the balloon was shown meanwhile
    List(appt);
    EXPECT_EQ(Balloons().size(), 2u);
    EXPECT_EQ(tray.last().message, NotifyIconMessage::Modify);

    Record("A1")->bNotify = false;
    Record("A1")->bReminderShown = false;
    reminders.clear();
    List(appt);
    EXPECT_EQ(Balloons().size(), 2u);
    EXPECT_EQ(reminders, "");

    Change(R"(<appt id="A1" l="10"><inv><comp name="Plan B"/></inv></appt>)");
    List(appt);
    List(appt);
    EXPECT_EQ(Balloons().back(), "Plan B [変更済み]|いつ: 10:00 - 11:00");
    EXPECT_EQ(Balloons().size(), 3u);
    EXPECT_EQ(reminders, "Plan B [変更済み] 10:00 - 11:00\r\n");
}

INSTANTIATE_TEST_SUITE_P(Zones, ListingTest, ::testing::ValuesIn(kZones), ZoneName);

// Alarms: the offset from the start at which the appointment becomes due. {utc} and {local}
// stand for the start minus 20 and 25 minutes as absolute texts.
struct TriggerCase {
    const char* name;
    const char* alarm;
    std::int64_t offset;
};
void PrintTo(const TriggerCase& c, std::ostream* out) {
    *out << c.name;
}

using TriggerTest = ZonedTableFixture<TriggerCase>;

TEST_P(TriggerTest, DueFromTheAlarmOn) {
    const TriggerCase& c = row();
    const std::int64_t start = At(0, 10);
    std::string alarm = Replace(c.alarm, "{utc}", Compact(start - 20 * kM + bias * 60, "Z"));
    alarm = Replace(alarm, "{local}", Compact(start - 25 * kM, ""));
    const std::string appt = Appt(R"(id="A1" name="Plan" l="10")", start, alarm);
    now = start + c.offset - 1;
    List(appt);
    EXPECT_EQ(Record("A1"), nullptr);
    now = start + c.offset;
    List(appt);
    ASSERT_NE(Record("A1"), nullptr);
    EXPECT_EQ(Text(Record("A1")->dAlarm), Text(start + c.offset));
}

#define REL(attrs) "<alarmData><alarm><trigger><rel " attrs "/></trigger></alarm></alarmData>"
#define ABS(d) "<alarmData><alarm><trigger><abs d=\"" d "\"/></trigger></alarm></alarmData>"
const TriggerCase kTriggers[] = {
    {"TriggerOfNeitherForm", "<alarmData><alarm><trigger/></alarm></alarmData>", -15 * kM},
    {"BeforeStart", REL(R"(neg="1" m="30")"), -30 * kM},
    {"BeforeEnd", REL(R"(related="end" neg="1" m="90")"), -30 * kM},
    {"EveryUnit", REL(R"(neg="1" d="1" h="2" m="3" s="4")"), -(24 * kH + 2 * kH + 3 * kM + 4)},
    {"WeeksLeaveDaysOut", REL(R"(neg="1" w="1" d="2")"), -7 * 24 * kH},
    {"AbsoluteUtc", ABS("{utc}"), -20 * kM},
    {"AbsoluteLocal", ABS("{local}"), -25 * kM},
    {"UnreadableAbsoluteFallsBack", ABS("soon"), -15 * kM},
};

INSTANTIATE_TEST_SUITE_P(Triggers, TriggerTest,
                         ::testing::Combine(::testing::ValuesIn(kZones),
                                            ::testing::ValuesIn(kTriggers)),
                         ZoneAndRowName<TriggerCase>);

// Which answer is read, and the filter -------------------------------------------------

struct GenerationCase {
    const char* name;
    const char* version;
    const char* element;
    const char* attrs;
    bool white;
    const char* filter;
    bool listed;
};
void PrintTo(const GenerationCase& c, std::ostream* out) {
    *out << c.name;
}

class GenerationTest : public CalendarFixture,
                       public ::testing::WithParamInterface<GenerationCase> {};

TEST_P(GenerationTest, ListsWhatTheServerAndTheFilterLetThrough) {
    const GenerationCase& c = GetParam();
    white = c.white;
    filter = c.filter;
    newDay = true;
    now = At(0, 9, 50);
    List(Appt(std::string(R"(id="A1" name="Plan" )") + c.attrs, At(0, 10)) +
             Appt(std::string(R"(id="B" name="Later" )") + c.attrs, At(0, 12)),
         c.version, c.element);
    EXPECT_EQ(Record("A1") != nullptr, c.listed);
    EXPECT_EQ(summary, c.listed ? "・12:00 Later\r\n" : "");
}

const GenerationCase kGenerations[] = {
    {"NewServer", "8.8.15_GA", "SearchResponse", R"(l="10")", false, "迷惑メール", true},
    {"NewServerIgnoresSummaries", "8.8.15_GA", "GetApptSummariesResponse", R"(l="10")", false,
     "迷惑メール", false},
    {"SixIsNew", "6.0.0", "SearchResponse", R"(l="10")", false, "迷惑メール", true},
    {"OldServer", "5.0.9", "GetApptSummariesResponse", R"(l="10")", false, "迷惑メール", true},
    {"OldServerIgnoresSearch", "5.0.9", "SearchResponse", R"(l="10")", false, "迷惑メール", false},
    {"BlackListedFolder", "8.0", "SearchResponse", R"(l="4")", false, "迷惑メール", false},
    {"WhiteListedTag", "8.0", "SearchResponse", R"(l="10" t="64")", true, "urgent", true},
    {"WhiteListOtherFolder", "8.0", "SearchResponse", R"(l="10")", true, "受信箱", false},
};
INSTANTIATE_TEST_SUITE_P(Answers, GenerationTest, ::testing::ValuesIn(kGenerations),
                         [](const auto& row) { return std::string(row.param.name); });

using FixedDateTest = CalendarFixture;

TEST_F(FixedDateTest, TheFirstOfNextMonthIsNotTomorrow) {
    midnight = ToLocalSeconds({2024, 5, 31});
    newDay = true;
    now = At(0, 12);
    List(R"(<appt id="H" name="Holiday" allDay="1" l="10"><inst s=")" + Ms(At(1, 0)) +
         R"("/></appt>)" + Appt(R"(id="E" name="Early" l="10")", At(1, 0, 5)) +
         Appt(R"(id="M" name="Morning" l="10")", At(1, 10)));
    EXPECT_EQ(summary, "・0:00 Holiday\r\n・0:05 Early\r\n・10:00 Morning\r\n");

    now = At(0, 23, 55);
    List(Appt(R"(id="E" name="Early" l="10")", At(1, 0, 5)));
    ASSERT_NE(Record("E"), nullptr);
    EXPECT_EQ(Record("E")->sWhen, "0:05 - 1:05");
}

TEST_F(FixedDateTest, TimesAreReadWithTheBiasOfNow) {
    // New York in the night summer time ends: 10:00 standard time (15:00 UTC) is read with
    // the summer bias that holds at the check.
    bias = 240;
    session.dEpochLocal = -240 * 60;
    midnight = ToLocalSeconds({2024, 11, 3});
    newDay = true;
    now = At(0, 0, 30);
    const std::int64_t utc = ToLocalSeconds({2024, 11, 3, 15, 0, 0});
    List(R"(<appt id="W" name="Walk" l="10" d="3600000"><inst s=")" + std::to_string(utc * 1000) +
         R"("/></appt>)");
    EXPECT_EQ(summary, "・11:00 Walk\r\n");
}

TEST_F(FixedDateTest, HostileNumbersStayWithinRange) {
    // Under the sanitizers an overflow in the date arithmetic would stop the run here.
    midnight = ToLocalSeconds({2024, 5, 1});
    now = At(0, 12);
    List(R"(<appt id="X" name="X" l="10" d="-1e308"><inst s="1e300" tzo="1e300"/>)"
         R"(<alarmData><alarm><trigger><rel neg="1" w="1e300"/></trigger></alarm></alarmData>)"
         R"(</appt><appt id="Y" l="10" allDay="1" d="1e308">)"
         R"(<inst s="-1e300" tzo="-1e300"/></appt>)");
    Change(R"(<appt id="X" nextAlarm="-1e300"><inv><tz stdoff="1e300"/><comp>)"
           R"(<s d="99991231T235959Z"/><e d="00000101T000000"/></comp></inv></appt>)");
    calendar.PruneAppointments(Ctx());
    EXPECT_EQ(calendar.FindApptIndex("X"), -1);
}

}  // namespace
}  // namespace tovela::testing

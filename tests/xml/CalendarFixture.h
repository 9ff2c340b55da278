#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/LocalTime.h"
#include "fakes/FakePlatform.h"
#include "session/Calendar.h"
#include "session/SoapRequests.h"
#include "xml/XmlEngine.h"

// The calendar over the real XML engine, with real appointment icons on a recording tray.
namespace tovela::testing {

class RecordingRelay final : public CNotifyEvents {
public:
    void OnMouseUp(MouseButton, Icontify& s) override { sources.push_back(&s); }
    void OnBalloonClick(Icontify& s) override { sources.push_back(&s); }
    void OnBalloonShow(Icontify& s) override { sources.push_back(&s); }
    void OnAbreTovela(Icontify& s, const std::string&) override { sources.push_back(&s); }
    void OnUploadFile(Icontify& s, const std::string&) override { sources.push_back(&s); }
    void OnMapiMensaje(Icontify& s, const std::string&) override { sources.push_back(&s); }
    void OnSettingsShowRequest(Icontify& s) override { sources.push_back(&s); }
    std::vector<Icontify*> sources;
};

inline std::string Text(std::int64_t localSeconds) {
    return DateTimeText(FromLocalSeconds(localSeconds));
}

inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// "yyyymmddThhmmss" and a suffix, as the server writes dates.
inline std::string Compact(std::int64_t local, const char* suffix) {
    const LocalDateTime t = FromLocalSeconds(local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, suffix);
    return text;
}

struct Zone {
    const char* name;
    int bias;
    LocalDateTime today;
};

// Tokyo, UTC and New York on both sides of its daylight-saving switch.
inline const Zone kZones[] = {{"Tokyo", -540, {2024, 5, 1}},
                              {"Utc", 0, {2024, 5, 1}},
                              {"NewYorkSummer", 240, {2024, 7, 15}},
                              {"NewYorkWinter", 300, {2024, 12, 2}}};

inline void PrintTo(const Zone& zone, std::ostream* out) {
    *out << zone.name;
}

inline constexpr std::uintptr_t kCalendarPicture = 0xCA1;
inline constexpr std::int64_t kH = 3600;
inline constexpr std::int64_t kM = 60;

class CalendarFixture : public ::testing::Test {
protected:
    CalendarFixture() {
        for (const char* markup :
             {R"(<folder id="10" name="Calendar" l="1"/>)", R"(<folder id="4" name="Junk" l="1"/>)",
              R"(<folder id="3" name="Trash" l="1"/>)"}) {
            mailbox.AddOrUpdateFolder(*Load(markup));
        }
        mailbox.AddOrUpdateTag(*Load(R"(<tag id="64" name="Urgent"/>)"));
        SetZone(kZones[0]);
    }

    void SetZone(const Zone& zone) {
        bias = zone.bias;
        session.dEpochLocal = -static_cast<std::int64_t>(bias) * 60;
        midnight = ToLocalSeconds(zone.today);
    }
    // Local seconds of today (day 0) or a day around it.
    std::int64_t At(int day, std::int64_t hour, std::int64_t minute = 0) const {
        return midnight + day * 24 * kH + hour * kH + minute * kM;
    }
    // The server's milliseconds since the epoch for a local date.
    std::string Ms(std::int64_t local) const {
        return std::to_string((local + static_cast<std::int64_t>(bias) * 60) * 1000);
    }
    std::string Appt(const std::string& attrs, std::int64_t start, const std::string& more = "") {
        return "<appt " + attrs + R"( d="3600000"><inst s=")" + Ms(start) + "\"/>" + more +
               "</appt>";
    }

    const XmlNode* Load(const std::string& markup) {
        documents.push_back(xml->CreateDocument());
        EXPECT_TRUE(documents.back()->LoadXml(markup)) << markup;
        return documents.back()->DocumentElement();
    }
    CalendarContext Ctx() {
        return {session, reminderMinutes, newDay, now, bias, mailbox, NotifyFilter{filter, white}};
    }
    void List(const std::string& appts, const char* version = "8.8.15_GA",
              const char* element = nullptr) {
        session.sServerVersion = version;
        if (element == nullptr) {
            element =
                IsVersionAtLeast(version, 6.0) ? "SearchResponse" : "GetApptSummariesResponse";
        }
        const std::string e(element);
        calendar.AppointmentListing(
            *Load("<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
                  "<soap:Body><BatchResponse xmlns=\"urn:tovela\"><" +
                  e + " xmlns=\"urn:tovelaMail\">" + appts + "</" + e +
                  "></BatchResponse></soap:Body></soap:Envelope>"),
            Ctx(), summary, reminders);
    }
    void Change(const std::string& appts, const char* version = "8.8.15_GA") {
        session.sServerVersion = version;
        calendar.ChangedAppointments(*Load("<notify><modified>" + appts + "</modified></notify>"),
                                     Ctx());
    }
    Icontify* Record(const char* id) {
        const int index = calendar.FindApptIndex(id);
        return index < 0 ? nullptr : calendar.aCalIcons[static_cast<std::size_t>(index)].get();
    }
    // Every balloon shown so far, as "title|text".
    std::vector<std::string> Balloons() const {
        std::vector<std::string> out;
        for (const auto& call : tray.calls) {
            if (call.data.uFlags & NIF_INFO) {
                out.push_back(call.data.szInfoTitle + "|" + call.data.szInfo);
            }
        }
        return out;
    }

    std::unique_ptr<XmlFactory> xml = MakeXmlFactory();
    std::vector<std::unique_ptr<XmlDocument>> documents;
    FakeWindowSystem windows;
    FakeTray tray;
    FakeLocaleInfo locale;
    RecordingRelay relayEvents;
    CNotify relay{relayEvents};
    MailboxModel mailbox;
    SessionContext session;
    Calendar calendar{[this] {
                          return std::make_unique<Icontify>(TrayServices{windows, tray});
                      },
                      &relay, locale, kCalendarPicture};
    int bias = 0;
    std::int64_t midnight = 0;
    std::int64_t now = 0;
    std::int32_t reminderMinutes = 15;
    bool newDay = false;
    std::string filter = "迷惑メール";
    bool white = false;
    std::string summary;
    std::string reminders;
};

// A fixture that runs in the zone its test parameter names.
class ZonedFixture : public CalendarFixture, public ::testing::WithParamInterface<Zone> {
protected:
    ZonedFixture() { SetZone(GetParam()); }
};

// A fixture with a zone and a table row.
template <typename Row>
class ZonedTableFixture : public CalendarFixture,
                          public ::testing::WithParamInterface<std::tuple<Zone, Row>> {
protected:
    ZonedTableFixture() { SetZone(std::get<0>(this->GetParam())); }
    const Row& row() const { return std::get<1>(this->GetParam()); }
};

template <typename Row>
std::string ZoneAndRowName(const ::testing::TestParamInfo<std::tuple<Zone, Row>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

inline std::string ZoneName(const ::testing::TestParamInfo<Zone>& row) {
    return row.param.name;
}

}  // namespace tovela::testing

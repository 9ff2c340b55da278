#include "session/Calendar.h"

#include <optional>
#include <utility>

#include "session/CalendarDates.h"
#include "session/LeadingNumber.h"
#include "session/SoapRequests.h"
#include "session/XmlNodes.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;
constexpr const char* kChangedMark = " [変更済み]";

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t ReminderSeconds(const CalendarContext& ctx) {
    return static_cast<std::int64_t>(ctx.nReminderMinutes) * kMinute;
}

// A relative trigger: weeks alone when given, else days, hours, minutes and seconds.
std::int64_t RelativeAlarm(const XmlNode& rel, std::int64_t start, std::int64_t end) {
    const std::int64_t base = AsciiUpper(AttributeText(rel, "related")) == "END" ? end : start;
    const double sign = AttributeText(rel, "neg") == "1" ? -1.0 : 1.0;
    const auto offset = [&](std::string_view unit, std::int64_t seconds) {
        const auto value = rel.Attribute(unit);
        return value ? ClampCount(sign * LeadingNumber(*value) * static_cast<double>(seconds)) : 0;
    };
    if (rel.Attribute("w")) return base + offset("w", 7 * kDay);
    return base + offset("d", kDay) + offset("h", kHour) + offset("m", kMinute) + offset("s", 1);
}

}  // namespace

struct Calendar::Timing {
    bool allDay = false;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t alarm = 0;
    bool due = false;
    bool running = false;
    bool soon = false;
};

Calendar::Calendar(IconFactory newIcon, CNotify* relay, LocaleInfo& locale,
                   std::uintptr_t calendarIcon)
    : aCalIcons(1),
      newIcon_(std::move(newIcon)),
      relay_(relay),
      locale_(locale),
      calendarIcon_(calendarIcon) {}

int Calendar::FindApptIndex(std::string_view id) const {
    const auto at = byId_.find(std::string(id));
    return at == byId_.end() ? -1 : at->second;
}

void Calendar::ReleaseSlot(std::size_t index) {
    auto& slot = aCalIcons[index];
    if (!slot) return;
    const auto at = byId_.find(slot->sId);
    if (at != byId_.end() && at->second == static_cast<int>(index)) byId_.erase(at);
    slot.reset();
    // The table ends at its last record: a program that runs for months would otherwise
    // walk (and keep) a slot for every appointment it ever reminded of, and the indexes
    // would outgrow the 16 bits the calendar menu keeps them in.
    while (aCalIcons.size() > 1 && !aCalIcons.back()) aCalIcons.pop_back();
}

void Calendar::Reset() {
    byId_.clear();
    aCalIcons.clear();
    aCalIcons.resize(1);
}

std::string Calendar::FormatoFecha(std::int64_t localSeconds) const {
    return tovela::FormatoFecha(locale_, localSeconds);
}

Calendar::Timing Calendar::WorkOutTiming(const XmlNode& appt, const CalendarContext& ctx) const {
    Timing t;
    t.allDay = AttributeText(appt, "allDay") == "1";
    // The first instance that has not ended yet; the last one when all have.
    for (const auto& inst : SelectNodes(appt, "inst")) {
        const auto tzo = inst->Attribute("tzo");
        // An all-day instance starts at midnight of the zone it was made in, whatever zone
        // this computer is in now.
        const std::int64_t origin = t.allDay && tzo ? SecondsFromMs(*tzo) : ctx.session.dEpochLocal;
        t.start = origin + SecondsFromMs(AttributeText(*inst, "s"));
        const auto dur = inst->Attribute("dur");
        t.end = t.start + SecondsFromMs(dur ? *dur : AttributeText(appt, "d"));
        if (t.end > ctx.now) break;
    }

    if (t.start > ctx.now) {
        std::optional<std::int64_t> alarm;
        if (auto abs = SelectSingleNode(appt, "alarmData/alarm/trigger/abs")) {
            alarm = ReadDateTime(AttributeText(*abs, "d"), ctx.bias);
        } else if (auto rel = SelectSingleNode(appt, "alarmData/alarm/trigger/rel")) {
            alarm = RelativeAlarm(*rel, t.start, t.end);
        }
        t.alarm = alarm.value_or(t.start - ReminderSeconds(ctx));
        if (ctx.now >= t.alarm) {
            t.due = true;
        } else if (FloorDiv(t.start, kHour) - FloorDiv(ctx.now, kHour) <= 24) {
            t.soon = true;
        }
    } else {
        t.running = t.end >= ctx.now;
    }
    return t;
}

std::string Calendar::ComingLine(const XmlNode& appt, const Timing& t,
                                 const CalendarContext& ctx) const {
    const std::string tomorrow = TomorrowMark(t.start, ctx.now);
    const std::string time =
        !tomorrow.empty() && t.allDay ? std::string("終日") : FormatoFecha(t.start);
    return "・" + tomorrow + time + " " + AttributeText(appt, "name") + "\r\n";
}

void Calendar::AppointmentListing(const XmlNode& root, const CalendarContext& ctx,
                                  std::string& sSummary, std::string& sReminders) {
    const std::string response = IsVersionAtLeast(ctx.session.sServerVersion, 6.0)
                                     ? "SearchResponse"
                                     : "GetApptSummariesResponse";
    const auto appts =
        SelectNodes(root, "/soap:Envelope/soap:Body/BatchResponse/" + response + "//appt");
    iconsShown_ = 0;
    for (const auto& record : aCalIcons) iconsShown_ += record && record->IconShown();
    for (const auto& appt : appts) {
        if (!ctx.mailbox.ItemPasses(*appt, ctx.filter)) continue;
        const Timing t = WorkOutTiming(*appt, ctx);
        if (ctx.bNewDay && t.soon) sSummary += ComingLine(*appt, t, ctx);
        if (!t.due && !t.running) continue;

        int index = FindApptIndex(AttributeText(*appt, "id"));
        if (index < 0) index = AddRecord(*appt, t, ctx);
        if (index >= 0) Remind(*aCalIcons[static_cast<std::size_t>(index)], sReminders);
    }
}

int Calendar::AddRecord(const XmlNode& appt, const Timing& t, const CalendarContext& ctx) {
    std::unique_ptr<Icontify> icon = newIcon_ ? newIcon_() : nullptr;
    if (!icon) return -1;
    const int index = static_cast<int>(aCalIcons.size());
    Icontify& r = *icon;
    r.SetNotify(relay_);
    r.sTags = AttributeText(appt, "t");
    r.Tag = index;
    r.hIcon = calendarIcon_;
    r.nReserved = 0;
    r.sId = AttributeText(appt, "id");
    r.sDuration = AttributeText(appt, "d");
    r.sStatus = AttributeText(appt, "status");
    r.sLocation = AttributeText(appt, "loc");
    r.sFolderId = AttributeText(appt, "l");
    r.sCompNum = AttributeText(appt, "compNum");
    r.sFreeBusy = AttributeText(appt, "fb");
    r.sUid = AttributeText(appt, "x_uid");
    r.sFreeBusyActual = AttributeText(appt, "fba");
    r.sPartStat = AttributeText(appt, "ptst");
    r.sTransparency = AttributeText(appt, "transp");
    r.dStart = t.start;
    r.dEnd = t.end;
    r.dAlarm = t.alarm;
    r.sInvId = AttributeText(appt, "invId");
    r.sIsOrg = AttributeText(appt, "isOrg");
    r.sAllDay = AttributeText(appt, "allDay");
    r.sName = AttributeText(appt, "name");
    r.sRecur = AttributeText(appt, "recur");
    r.bNotify = true;
    r.bModified = false;
    r.bReminderShown = false;
    r.sWhen = WhenText(locale_, r.sAllDay == "1", t.start, t.end, ctx.now);
    byId_.emplace(r.sId, index);
    aCalIcons.push_back(std::move(icon));
    return index;
}

// A change the server reported alerts once even when the user has turned the reminder off.
void Calendar::Remind(Icontify& record, std::string& sReminders) {
    if (!record.bNotify && !record.bModified) return;
    const std::string title = record.sName + (record.bModified ? kChangedMark : "");
    if (!record.bReminderShown && (record.IconShown() || iconsShown_ < kMaxReminderIcons)) {
        if (!record.IconShown()) ++iconsShown_;
        record.Iconizar(title + "\r\nいつ: " + record.sWhen);
        record.bReminderShown = true;
    }
    sReminders += title + " " + record.sWhen + "\r\n";
    record.bModified = false;
}

void Calendar::ChangedAppointments(const XmlNode& notifyBlock, const CalendarContext& ctx) {
    for (const auto& appt : SelectNodes(notifyBlock, "modified//appt")) {
        const int index = FindApptIndex(AttributeText(*appt, "id"));
        if (index < 0) continue;
        ApplyChange(*aCalIcons[static_cast<std::size_t>(index)], index, *appt, ctx);
    }
}

void Calendar::ApplyChange(Icontify& r, int index, const XmlNode& appt,
                           const CalendarContext& ctx) {
    r.sTags = AttributeText(appt, "t");

    std::optional<std::int64_t> start;
    std::optional<std::int64_t> end;
    if (NodeHasAttribute(appt, "inv/comp", "allDay")) {
        r.bModified = true;
        r.sAllDay = NodeAttribute(appt, "inv/comp", "allDay");
        start = ReadDateOnly(NodeAttribute(appt, "inv/comp/s", "d"), DayEdge::Start);
        end = ReadDateOnly(NodeAttribute(appt, "inv/comp/e", "d"), DayEdge::End);
    } else {
        r.sAllDay.clear();
        if (NodeHasAttribute(appt, "inv/comp/s", "d")) {
            start = ReadDateTime(NodeAttribute(appt, "inv/comp/s", "d"), ctx.bias);
            r.bModified = true;
        }
        if (NodeHasAttribute(appt, "inv/comp/e", "d")) {
            end = ReadDateTime(NodeAttribute(appt, "inv/comp/e", "d"), ctx.bias);
            r.bModified = true;
        }
    }
    if (NodeHasAttribute(appt, "inv/tz", "stdoff")) {
        r.bModified = true;
        // From the event's zone (stdoff minutes east of UTC) to this computer's local time.
        const std::int64_t stdoff =
            ClampCount(LeadingNumber(NodeAttribute(appt, "inv/tz", "stdoff")));
        if (stdoff != -static_cast<std::int64_t>(ctx.bias)) {
            const std::int64_t shift = -(stdoff + ctx.bias) * kMinute;
            if (start) *start += shift;
            if (end) *end += shift;
        }
    }

    static constexpr std::pair<const char*, std::string Appointment::*> kCompFields[] = {
        {"status", &Appointment::sStatus},
        {"loc", &Appointment::sLocation},
        {"compNum", &Appointment::sCompNum},
        {"fb", &Appointment::sFreeBusy},
        {"x_uid", &Appointment::sUid},
        {"fba", &Appointment::sFreeBusyActual},
        {"transp", &Appointment::sTransparency},
        {"isOrg", &Appointment::sIsOrg},
        {"name", &Appointment::sName}};
    if (auto comp = SelectSingleNode(appt, "inv/comp")) {
        for (const auto& [name, field] : kCompFields) {
            if (auto value = comp->Attribute(name)) {
                r.bModified = true;
                r.*field = *value;
            }
        }
    }
    r.sFolderId = AttributeText(appt, "l");

    if (start) {
        r.dStart = *start;
        r.bModified = true;
    }
    if (end) {
        r.dEnd = *end;
        r.bModified = true;
    }

    if (r.sAllDay == "1") {
        r.bModified = true;
        r.sWhen = WhenText(locale_, true, r.dStart, r.dEnd, ctx.now);
    } else if (start && end) {
        r.bModified = true;
        r.sWhen = WhenText(locale_, false, *start, *end, ctx.now);
    }

    if (auto nextAlarm = appt.Attribute("nextAlarm")) {
        r.bModified = true;
        r.dAlarm = ctx.session.dEpochLocal + SecondsFromMs(*nextAlarm);
    }

    // Newer servers report an appointment moved to the trash this way, without its dates.
    if (!start && !end && IsVersionAtLeast(ctx.session.sServerVersion, 6.0) && r.sFolderId == "3") {
        ReleaseSlot(static_cast<std::size_t>(index));
    }
}

void Calendar::Release(std::string_view id) {
    const int index = FindApptIndex(id);
    if (index >= 0) ReleaseSlot(static_cast<std::size_t>(index));
}

void Calendar::PruneAppointments(const CalendarContext& ctx) {
    for (std::size_t i = 0; i < aCalIcons.size(); ++i) {
        if (!aCalIcons[i]) continue;
        const Icontify& r = *aCalIcons[i];
        const std::int64_t alarm = r.dAlarm != 0 ? r.dAlarm : r.dStart - ReminderSeconds(ctx);
        const bool passes = ctx.mailbox.ItemPasses(r.sTags, r.sFolderId, ctx.filter);
        if (!passes || alarm > ctx.now || r.dEnd < ctx.now) ReleaseSlot(i);
    }
}

}  // namespace tovela

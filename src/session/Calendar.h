#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "notify/CNotify.h"
#include "notify/Icontify.h"
#include "platform/LocaleInfo.h"
#include "platform/XmlDocument.h"
#include "session/MailboxModel.h"
#include "session/SessionContext.h"

namespace tovela {

// What the calendar reads from the form, at the moment of each call.
struct CalendarContext {
    const SessionContext& session;  // dEpochLocal and sServerVersion
    std::int32_t nReminderMinutes;
    // The first check of a calendar day: the listing adds the coming 24 hours to the summary.
    // The listing never clears it; the caller does, after the listing of a response that was
    // taken in to its end.
    bool bNewDay;
    std::int64_t now;  // local seconds
    int bias;          // minutes, UTC = local + bias, as the zone has it now
    const MailboxModel& mailbox;
    NotifyFilter filter;
};

// The appointments that are due or running, each with its own tray icon, and the reminders
// and coming-appointment lines that a check adds to the new-mail notice.
class Calendar {
public:
    // Makes an icon for a new record; the calendar sets its relay, Tag and picture.
    using IconFactory = std::function<std::unique_ptr<Icontify>()>;

    Calendar(IconFactory newIcon, CNotify* relay, LocaleInfo& locale, std::uintptr_t calendarIcon);

    // Slot 0 is never filled; a new record goes to the end and a released one leaves its
    // slot empty, so the index kept in each icon's Tag stays valid. The table ends at its
    // last record: empty slots at the end go. Records are made and released only by the
    // calendar, which keeps them indexed by id.
    std::vector<std::unique_ptr<Icontify>> aCalIcons;

    // Reminder icons shown at once at most: the notification area is no list. A reminder
    // beyond them is still told in the reminder lines, and gets its icon on a later check
    // once others have gone.
    static constexpr std::size_t kMaxReminderIcons = 16;

    // The first record with this id, or -1.
    int FindApptIndex(std::string_view id) const;
    // Releases every record: back to the empty slot 0 alone.
    void Reset();

    // The appointments of a batch response: records and balloons for the due and running
    // ones, their lines appended to sReminders, and, when ctx.bNewDay is set, a line for each
    // appointment of the coming 24 hours appended to sSummary.
    void AppointmentListing(const XmlNode& root, const CalendarContext& ctx, std::string& sSummary,
                            std::string& sReminders);
    // The "modified" appointments of one notification block, for records already kept.
    void ChangedAppointments(const XmlNode& notifyBlock, const CalendarContext& ctx);
    // The server deleted the appointment with this id.
    void Release(std::string_view id);
    // After each check: drops records the filter no longer lets through, records whose
    // reminder is not due yet, and records that have ended.
    void PruneAppointments(const CalendarContext& ctx);

    // The time of day without seconds, in the user's format.
    std::string FormatoFecha(std::int64_t localSeconds) const;

private:
    struct Timing;
    Timing WorkOutTiming(const XmlNode& appt, const CalendarContext& ctx) const;
    std::string ComingLine(const XmlNode& appt, const Timing& t, const CalendarContext& ctx) const;
    int AddRecord(const XmlNode& appt, const Timing& t, const CalendarContext& ctx);
    void Remind(Icontify& record, std::string& sReminders);
    void ApplyChange(Icontify& record, int index, const XmlNode& appt, const CalendarContext& ctx);

    void ReleaseSlot(std::size_t index);

    std::unordered_map<std::string, int> byId_;
    // Counted at the start of each listing; icons the listing shows are added as it goes.
    std::size_t iconsShown_ = 0;
    IconFactory newIcon_;
    CNotify* relay_;
    LocaleInfo& locale_;
    std::uintptr_t calendarIcon_;
};

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// One appointment that is due or running, as the calendar keeps it. Dates are local
// seconds (seconds since 1970-01-01 00:00 on the local wall clock); 0 means not worked out.
struct Appointment {
    bool bNotify = true;
    std::string sWhen;
    std::uintptr_t hIcon = 0;
    std::int64_t nReserved = 0;  // kept for the record's layout; nothing reads it
    std::int64_t dAlarm = 0;
    std::int64_t dStart = 0;
    std::int64_t dEnd = 0;
    bool bModified = false;
    bool bReminderShown = false;
    std::string sId;
    std::string sName;
    std::string sRecur;
    std::string sInvId;
    std::string sDuration;
    std::string sStatus;
    std::string sLocation;
    std::string sFolderId;
    std::string sTags;
    std::string sCompNum;
    std::string sFreeBusy;
    std::string sUid;
    std::string sFreeBusyActual;
    std::string sPartStat;
    std::string sTransparency;
    std::string sAllDay;
    std::string sIsOrg;
};

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>

#include "platform/XmlDocument.h"
#include "session/MailboxModel.h"
#include "session/SessionContext.h"

// The new-mail part of a response pass: the unread summary of the first read of the
// mailbox, the messages announced by notification blocks, and the closing alerts.
namespace tovela {

// What one response gathers for the user. Lives for one response; SummaryAndAlerts empties it.
struct NoticeText {
    std::string sSummary;  // lines ending in CR LF; the calendar adds its 24-hour lines
    std::int32_t nUnread = 0;
    std::string sReminders;     // the calendar's reminder lines, alerted without a balloon
    std::string previousBlock;  // the last notification block taken in, after its opening tag
};

// What a notification block hands to the calendar.
class CalendarHooks {
public:
    virtual ~CalendarHooks() = default;
    // The block's changed appointments ("modified//appt").
    virtual void ChangedAppointments(const XmlNode& block) = 0;
    // The id of a "deleted" element, whole.
    virtual void DeletedAppointment(const std::string& id) = 0;
};

// The main tray icon, the sound and the message window.
class MailAlerts {
public:
    virtual ~MailAlerts() = default;
    // The main icon with the new-mail picture: the first line is the balloon title.
    virtual void IconAdd(const std::string& text, std::int32_t nSinLeer) = 0;
    // The main icon back to the program's normal picture.
    virtual void IconReset() = 0;
    virtual void FixTrayTooltipsZOrder() = 0;
    // "unread.wav" beside the program.
    virtual bool UnreadSoundExists() = 0;
    // Asynchronous, without a fallback sound.
    virtual void PlayUnreadSound() = 0;
    virtual void Beep() = 0;
    virtual void ShowMessage(const std::string& text, int style, const std::string& title) = 0;
};

// The settings window's sound and window check boxes at the moment of the alert.
struct AlertOptions {
    bool sound = false;
    bool window = false;
};

inline constexpr int kMessageInformation = 64;

// The refresh block of the first read: folders and links, then tags, each offered to the
// unread summary and then stored. Does nothing once the folders are loaded.
void TakeRefreshBlock(const XmlNode& root, MailboxModel& model, NotifyFilter filter,
                      NoticeText& notice, bool& bFoldersLoaded);

// Every notification block of the context header, in order: its sequence number, new
// unread messages, the calendar's share, the icon reset after mail was read elsewhere,
// and deleted, created or changed tags and folders.
void TakeNotifyBlocks(const XmlNode& root, SessionContext& session, MailboxModel& model,
                      NotifyFilter filter, NoticeText& notice, CalendarHooks& calendar,
                      MailAlerts& alerts);

// Shows what the response gathered (balloon, sound, window; the reminders without a
// balloon) and leaves the notice empty for the next response.
void SummaryAndAlerts(NoticeText& notice, AlertOptions options, MailAlerts& alerts);

}  // namespace tovela

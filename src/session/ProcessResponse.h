#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/DebugLog.h"
#include "platform/Clock.h"
#include "platform/XmlDocument.h"
#include "session/AccountPreferences.h"
#include "session/SessionContext.h"

namespace tovela {

// What taking in a response does outside the session state: the tray icon, the settings
// window, the desktop integration and the mailbox and calendar models.
class ResponseEffects {
public:
    virtual ~ResponseEffects() = default;
    // Returns the main tray icon to its quiet state.
    virtual void ResetMainIcon() = 0;
    // The poll interval the server asked for, shown in the settings window.
    virtual void ShowPollInterval(std::int32_t seconds) = 0;
    // The account lost the briefcase: its SendTo shortcut goes.
    virtual void DeleteBriefcaseShortcut() = 0;
    // Folders, tags, new mail and appointments of a response that was taken in.
    virtual void RefreshBlock(const XmlNode& root) = 0;
    virtual void NotifyBlocks(const XmlNode& root) = 0;
    virtual void AppointmentListing(const XmlNode& root) = 0;
    virtual void SummaryAndAlerts() = 0;
};

// The state a response updates.
struct ResponseState {
    SessionContext& session;
    AccountPreferences& account;
    std::int32_t& PollInterval;
    std::int32_t& RetryInterval;
    bool& bFoldersLoaded;
    // When the last response was taken in to its end, in local seconds; nothing before.
    std::optional<std::int64_t>& dLastResponse;
};

struct ResponseServices {
    XmlFactory& xml;
    Clock& clock;
    TimeZone& zone;
    DebugLog& log;
    ResponseEffects& effects;
};

// Takes in one SOAP response of any request. True when it was taken in to its end, was an
// authentication fault the check cycle recovers from, or announced a new session.
bool ProcessResponse(const std::string& sRespuesta, ResponseState& state,
                     ResponseServices& services);

// The server's poll-interval preference in seconds ("5m", "300s", "500ms", "300").
std::int32_t PollIntervalFromPreference(const std::string& value);

}  // namespace tovela

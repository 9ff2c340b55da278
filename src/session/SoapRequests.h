#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "session/SessionContext.h"

namespace tovela {

// "&", "<", ">", double and single quote to entities, in that order.
std::string XmlEscape(std::string_view text);

// The element that carries the session in the context header for a server version:
// "session" from 6.0 on, "sessionId" before (also while no version is known).
std::string SessionTagFor(std::string_view serverVersion);
bool IsVersionAtLeast(std::string_view serverVersion, double major);

// The envelope that logs in and asks for the account's preferences, signatures and limits.
std::string BuildLoginBatch(std::string_view userName, std::string_view password);

// The envelope that continues the session and lists the coming week's appointments. Sets
// ctx.sSessionTag. `localNowSeconds` is now on the local wall clock, in local seconds.
std::string BuildSessionBatch(SessionContext& ctx, std::int64_t localNowSeconds);

// The context header lines shared by every request made while a session runs; the
// appointment cancellation goes without the change token.
std::string SessionContextHeader(const SessionContext& ctx, bool withChangeToken = true);

// Takes an appointment out of the calendar: the whole appointment, or with `occurrence`
// ("yyyymmddThhnnss", local time) one occurrence of a recurring one.
std::string BuildCancelAppointmentRequest(const SessionContext& ctx, std::string_view sInvId,
                                          std::string_view occurrence);

}  // namespace tovela

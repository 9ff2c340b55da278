#pragma once

#include <nlohmann/json.hpp>

#include "ServerState.h"

namespace tovela::fakeserver {

// Changes to the mailbox made through the admin interface while the server runs. Each one
// checks its request, changes the scenario, queues what every open session is told in its
// next notify block, and returns the item as it now stands. A bad request throws
// FieldError and changes nothing.

// New mail: {folder, from: {address, personal}, subject, tags, unread, date, id}.
nlohmann::json DeliverMail(StateData& data, const nlohmann::json& request);

// {id, unread}: marks a message read (or unread again with "unread": true).
nlohmann::json MarkRead(StateData& data, const nlohmann::json& request);

// {id}: a message, appointment, tag or empty folder.
nlohmann::json DeleteItem(StateData& data, const nlohmann::json& request);

// A client's CancelAppointmentRequest: the appointment of invitation `invId` leaves the
// calendar, or only its occurrence starting at `occurrence` ("yyyymmddThhmmss" in the
// appointment's zone) when one is given. Throws FieldError for an unknown appointment or
// occurrence.
void CancelAppointment(StateData& data, const std::string& invId, const std::string& occurrence);

// Adds the item, or changes the one with the request's id (a JSON merge patch of it).
nlohmann::json PutAppointment(StateData& data, const nlohmann::json& request);
nlohmann::json PutFolder(StateData& data, const nlohmann::json& request);
nlohmann::json PutTag(StateData& data, const nlohmann::json& request);

}  // namespace tovela::fakeserver

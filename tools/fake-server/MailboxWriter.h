#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "CalendarTime.h"
#include "ClientRequest.h"
#include "Scenario.h"

namespace tovela::fakeserver {

// The folder tree under the root and the tags, as the refresh block carries them.
std::string RefreshContent(const Scenario& scenario);

// One folder or link, without its subfolders; one tag; one message as newly created mail.
std::string FolderElement(const nlohmann::json& folder, const std::string& subfolders = "");
std::string TagElement(const nlohmann::json& tag);
std::string MessageElement(const nlohmann::json& message);

// The appt elements answering an appointment search or summary request: those with an
// occurrence inside the request's window, earliest first, each with those occurrences.
std::string ListedAppointments(const Scenario& scenario, const Operation& operation);

// A changed appointment for a notification block. `full` adds the invite with times and
// details and the next alarm; without it only the folder and the tags are told, as after a
// move.
std::string AppointmentChange(const Scenario& scenario, const nlohmann::json& appointment,
                              Millis now, bool full);

}  // namespace tovela::fakeserver

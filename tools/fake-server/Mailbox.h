#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "CalendarTime.h"

namespace tovela::fakeserver {

struct Scenario;

// Mailbox items stay JSON objects, so scenario patches merge into them as they do into the
// rest of the scenario. The readers check an item, bring it into one canonical shape (ids
// as text, times in milliseconds, flags as booleans, defaults filled in) and throw
// FieldError on anything they do not know.

nlohmann::json DefaultFolders();  // the system folders every account has

// `now` places relative times ("startInMinutes") and undated mail.
nlohmann::json ReadFolder(const nlohmann::json& in);
nlohmann::json ReadTag(const nlohmann::json& in);
nlohmann::json ReadMessage(const nlohmann::json& in, Millis now);
nlohmann::json ReadAppointment(const nlohmann::json& in, Millis now);

// Gives ids to items without one, fills folder and tag counts left out from the messages,
// and refuses duplicate ids, unknown folders and folder loops.
void CompleteMailbox(Scenario& scenario);
void CheckMailbox(const Scenario& scenario);

std::string NextId(const Scenario& scenario);

// The item with this id in `items`, or null.
nlohmann::json* FindById(nlohmann::json& items, const std::string& id);
const nlohmann::json* FindById(const nlohmann::json& items, const std::string& id);

// A text field of a canonical item; empty when absent.
std::string Text(const nlohmann::json& item, const char* key);

// The tag ids of a message or appointment ("64,65").
std::vector<std::string> TagIds(const nlohmann::json& item);

// True when the folder or one of its parents is the trash.
bool InTrash(const Scenario& scenario, const std::string& folderId);

}  // namespace tovela::fakeserver

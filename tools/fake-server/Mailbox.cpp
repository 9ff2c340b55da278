#include "Mailbox.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "JsonFields.h"
#include "Scenario.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

constexpr const char* kRootId = "1";
constexpr const char* kTrashId = "3";
constexpr long long kFirstUserId = 257;  // below it the ids of system folders and tags

enum class Kind { Text, Whole, Flag, IdList, Raw };

struct Field {
    const char* name;
    Kind kind;
    json fallback = nullptr;  // null: left out when not given
};

long long WholeField(const json& value, const std::string& where) {
    if (!value.is_number_integer()) throw FieldError(where + " must be a whole number");
    return value.get<long long>();
}

// Tag lists are written "64,65" on the wire; a scenario may also give an array.
std::string IdListField(const json& value, const std::string& where) {
    if (!value.is_array()) return TextField(value, where);
    std::string list;
    for (const json& id : value) list += (list.empty() ? "" : ",") + TextField(id, where);
    return list;
}

json ReadFields(const json& in, const std::vector<Field>& fields, const std::string& where) {
    RequireObject(in, where);
    for (const auto& item : in.items()) {
        const std::string& key = item.key();
        if (std::none_of(fields.begin(), fields.end(),
                         [&](const Field& f) { return key == f.name; }))
            throw FieldError("unknown field '" + key + "' in " + where);
    }
    json out = json::object();
    for (const Field& f : fields) {
        const std::string at = where + "." + f.name;
        if (!in.contains(f.name) || in[f.name].is_null()) {
            if (!f.fallback.is_null()) out[f.name] = f.fallback;
            continue;
        }
        const json& value = in[f.name];
        switch (f.kind) {
            case Kind::Text:
                out[f.name] = TextField(value, at);
                break;
            case Kind::Whole:
                out[f.name] = WholeField(value, at);
                break;
            case Kind::Flag:
                if (!value.is_boolean()) throw FieldError(at + " must be true or false");
                out[f.name] = value;
                break;
            case Kind::IdList:
                out[f.name] = IdListField(value, at);
                break;
            case Kind::Raw:
                out[f.name] = value;
                break;
        }
    }
    return out;
}

Millis TimeField(const json& value, int offsetMinutes, const std::string& where) {
    if (value.is_number_integer()) return value.get<Millis>();
    const std::optional<Millis> time =
        value.is_string() ? ParseIsoTime(value.get<std::string>(), offsetMinutes) : std::nullopt;
    if (!time) throw FieldError(where + " must be milliseconds or a date like 2024-05-01T10:30Z");
    return *time;
}

json ReadAlarm(const json& in, int offsetMinutes) {
    RequireObject(in, "alarm");
    if (in.size() != 1 || !(in.contains("abs") || in.contains("rel")))
        throw FieldError("an alarm is either {\"abs\": ...} or {\"rel\": {...}}");
    if (in.contains("abs")) {
        const json& abs = in["abs"];
        if (abs.is_number_integer()) return {{"abs", CompactUtcTime(abs.get<Millis>())}};
        const std::string text = TextField(abs, "alarm.abs");
        if (!ParseCompactTime(text, offsetMinutes))
            throw FieldError("alarm.abs must be like 20240501T013000Z or milliseconds");
        return {{"abs", text}};
    }
    return {{"rel", ReadFields(in["rel"],
                               {{"w", Kind::Whole},
                                {"d", Kind::Whole},
                                {"h", Kind::Whole},
                                {"m", Kind::Whole},
                                {"s", Kind::Whole},
                                {"neg", Kind::Flag, false},
                                {"related", Kind::Text, "START"}},
                               "alarm.rel")}};
}

long long IdNumber(const std::string& id) {
    char* end = nullptr;
    const long long number = std::strtoll(id.c_str(), &end, 10);
    return id.empty() || *end != '\0' ? 0 : number;
}

}  // namespace

json DefaultFolders() {
    json folders = json::array();
    const std::pair<const char*, const char*> system[] = {{"2", "Inbox"},  {"3", "Trash"},
                                                          {"4", "Junk"},   {"5", "Sent"},
                                                          {"6", "Drafts"}, {"10", "Calendar"}};
    for (const auto& [id, name] : system) {
        folders.push_back(ReadFolder({{"id", id},
                                      {"name", name},
                                      {"view", std::string(id) == "10" ? "appointment" : "message"},
                                      {"unread", 0},
                                      {"count", 0}}));
    }
    return folders;
}

json ReadFolder(const json& in) {
    return ReadFields(in,
                      {{"id", Kind::Text},
                       {"name", Kind::Text, ""},
                       {"parent", Kind::Text, kRootId},
                       {"view", Kind::Text, "message"},
                       {"unread", Kind::Whole},
                       {"count", Kind::Whole},
                       {"link", Kind::Flag, false},
                       {"owner", Kind::Text},
                       {"remoteId", Kind::Text}},
                      "a folder");
}

json ReadTag(const json& in) {
    return ReadFields(in,
                      {{"id", Kind::Text},
                       {"name", Kind::Text, ""},
                       {"color", Kind::Text},
                       {"unread", Kind::Whole}},
                      "a tag");
}

json ReadMessage(const json& in, Millis now) {
    json m = ReadFields(in,
                        {{"id", Kind::Text},
                         {"folder", Kind::Text, "2"},
                         {"from", Kind::Raw, json::object()},
                         {"subject", Kind::Text, ""},
                         {"tags", Kind::IdList, ""},
                         {"unread", Kind::Flag, true},
                         {"date", Kind::Raw, now}},
                        "a message");
    m["from"] = ReadFields(m["from"], {{"address", Kind::Text}, {"personal", Kind::Text}},
                           "a message's from");
    m["date"] = TimeField(m["date"], 0, "a message's date");
    return m;
}

json ReadAppointment(const json& in, Millis now) {
    json a = ReadFields(in,
                        {{"id", Kind::Text},
                         {"name", Kind::Text, ""},
                         {"folder", Kind::Text, "10"},
                         {"start", Kind::Raw},
                         {"startInMinutes", Kind::Whole},
                         {"durationMs", Kind::Whole, 3'600'000},
                         {"allDay", Kind::Flag, false},
                         {"tags", Kind::IdList, ""},
                         {"location", Kind::Text, ""},
                         {"status", Kind::Text, "CONF"},
                         {"freeBusy", Kind::Text, "B"},
                         {"partStat", Kind::Text, "AC"},
                         {"transparency", Kind::Text, "O"},
                         {"isOrg", Kind::Flag, true},
                         {"uid", Kind::Text},
                         {"tzId", Kind::Text},
                         {"tzOffsetMinutes", Kind::Whole, 0},
                         {"repeat", Kind::Raw},
                         {"cancelled", Kind::Raw},
                         {"alarm", Kind::Raw}},
                        "an appointment");
    const int offset = a["tzOffsetMinutes"].get<int>();
    if (a.contains("start") == a.contains("startInMinutes"))
        throw FieldError("an appointment needs either start or startInMinutes");
    if (a.contains("startInMinutes")) {
        // Whole seconds: the client counts in seconds and a demo reads better without the rest.
        a["start"] = (now / 1000 + a["startInMinutes"].get<Millis>() * 60) * 1000;
        a.erase("startInMinutes");
    } else {
        a["start"] = TimeField(a["start"], offset, "an appointment's start");
    }
    if (a["durationMs"].get<Millis>() < 0) throw FieldError("durationMs must not be negative");
    if (a.contains("repeat")) {
        a["repeat"] =
            ReadFields(a["repeat"], {{"everyMinutes", Kind::Whole}, {"count", Kind::Whole}},
                       "an appointment's repeat");
        const json& r = a["repeat"];
        if (r.value("everyMinutes", 0) < 1 || r.value("count", 0) < 1 || r.value("count", 0) > 1000)
            throw FieldError("repeat needs everyMinutes >= 1 and count from 1 to 1000");
    }
    if (a.contains("alarm")) a["alarm"] = ReadAlarm(a["alarm"], offset);
    return a;
}

std::string NextId(const Scenario& scenario) {
    long long highest = kFirstUserId - 1;
    for (const json* items :
         {&scenario.folders, &scenario.tags, &scenario.messages, &scenario.appointments}) {
        for (const json& item : *items) highest = std::max(highest, IdNumber(Text(item, "id")));
    }
    return std::to_string(highest + 1);
}

void CompleteMailbox(Scenario& scenario) {
    for (json* items :
         {&scenario.folders, &scenario.tags, &scenario.messages, &scenario.appointments}) {
        for (json& item : *items) {
            if (!item.contains("id")) item["id"] = NextId(scenario);
        }
    }
    for (json& folder : scenario.folders) {
        long long unread = 0, count = 0;
        for (const json& m : scenario.messages) {
            if (Text(m, "folder") != Text(folder, "id")) continue;
            ++count;
            unread += m["unread"].get<bool>() ? 1 : 0;
        }
        if (!folder.contains("unread")) folder["unread"] = unread;
        if (!folder.contains("count")) folder["count"] = count;
    }
    for (json& tag : scenario.tags) {
        if (tag.contains("unread")) continue;
        long long unread = 0;
        for (const json& m : scenario.messages) {
            const auto ids = TagIds(m);
            if (m["unread"].get<bool>() &&
                std::find(ids.begin(), ids.end(), Text(tag, "id")) != ids.end())
                ++unread;
        }
        tag["unread"] = unread;
    }
    CheckMailbox(scenario);
}

void CheckMailbox(const Scenario& scenario) {
    std::set<std::string> ids{kRootId};
    for (const json* items :
         {&scenario.folders, &scenario.tags, &scenario.messages, &scenario.appointments}) {
        for (const json& item : *items) {
            if (!ids.insert(Text(item, "id")).second)
                throw FieldError("the id " + Text(item, "id") + " is used twice");
        }
    }
    for (const json& folder : scenario.folders) {
        // Every folder must reach the root; a loop never does.
        std::string at = Text(folder, "id");
        for (std::size_t steps = 0; at != kRootId; ++steps) {
            const json* f = FindById(scenario.folders, at);
            if (!f) throw FieldError("no folder " + at + " for folder " + Text(folder, "id"));
            if (steps > scenario.folders.size())
                throw FieldError("folder " + Text(folder, "id") + " is inside itself");
            at = Text(*f, "parent");
        }
    }
    for (const json* items : {&scenario.messages, &scenario.appointments}) {
        for (const json& item : *items) {
            if (!FindById(scenario.folders, Text(item, "folder")))
                throw FieldError("no folder " + Text(item, "folder") + " for item " +
                                 Text(item, "id"));
        }
    }
}

const json* FindById(const json& items, const std::string& id) {
    for (const json& item : items) {
        if (Text(item, "id") == id) return &item;
    }
    return nullptr;
}

json* FindById(json& items, const std::string& id) {
    return const_cast<json*>(FindById(std::as_const(items), id));
}

std::string Text(const json& item, const char* key) {
    const auto found = item.find(key);
    return found != item.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::vector<std::string> TagIds(const json& item) {
    std::vector<std::string> ids;
    const std::string list = Text(item, "tags");
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        if (comma > at) ids.push_back(list.substr(at, comma - at));
        at = comma + 1;
    }
    return ids;
}

bool InTrash(const Scenario& scenario, const std::string& folderId) {
    std::string at = folderId;
    for (std::size_t steps = 0; steps <= scenario.folders.size() && at != kRootId; ++steps) {
        if (at == kTrashId) return true;
        const json* folder = FindById(scenario.folders, at);
        if (!folder) return false;
        at = Text(*folder, "parent");
    }
    return false;
}

}  // namespace tovela::fakeserver

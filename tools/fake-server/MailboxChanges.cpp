#include "MailboxChanges.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "CalendarTime.h"
#include "EnvelopeWriter.h"
#include "JsonFields.h"
#include "MailboxWriter.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

template <class Change>
void Announce(StateData& data, Change change) {
    for (auto& [session, feed] : data.feeds) change(feed.pending);
}

void Touch(StateData& data, const std::string& element, const std::string& id,
           const std::map<std::string, std::string>& attributes) {
    if (attributes.empty()) return;
    Announce(data, [&](PendingChanges& p) {
        for (const auto& [name, value] : attributes) p.touched[{element, id}][name] = value;
    });
}

std::string Count(const json& item, const char* key) {
    return std::to_string(item.value(key, 0LL));
}

void Add(json& item, const char* key, long long delta) {
    item[key] = std::max(0LL, item.value(key, 0LL) + delta);
}

// Moves the counts of the message's folder and tags, and tells the sessions the new ones.
void Recount(StateData& data, const json& message, long long total, long long unread) {
    if (json* folder = FindById(data.scenario.folders, Text(message, "folder"))) {
        Add(*folder, "count", total);
        Add(*folder, "unread", unread);
        Touch(data, "folder", Text(*folder, "id"),
              {{"u", Count(*folder, "unread")}, {"n", Count(*folder, "count")}});
    }
    if (unread == 0) return;
    for (const std::string& id : TagIds(message)) {
        if (json* tag = FindById(data.scenario.tags, id)) {
            Add(*tag, "unread", unread);
            Touch(data, "tag", id, {{"u", Count(*tag, "unread")}});
        }
    }
}

std::string RequiredId(const json& request) {
    RequireObject(request, "the request");
    if (!request.contains("id")) throw FieldError("the request needs an id");
    return TextField(request["id"], "id");
}

// Removes the item with `id` from `items`; null when there is none.
json Remove(json& items, const std::string& id) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (Text(*it, "id") == id) {
            json item = *it;
            items.erase(it);
            return item;
        }
    }
    return nullptr;
}

// Adds the request as a new item, or merges it into the item with its id. `previous` is
// that item before the change, or null for a new one.
template <class Read>
json Upsert(Scenario& next, json Scenario::*member, const json& request, Read read,
            json& previous) {
    RequireObject(request, "the request");
    json& items = next.*member;
    const std::string id = request.contains("id") ? TextField(request["id"], "id") : "";
    json* old = id.empty() ? nullptr : FindById(items, id);
    if (!old) {
        previous = nullptr;
        json item = read(request);
        if (!item.contains("id")) item["id"] = NextId(next);
        items.push_back(item);
        return item;
    }
    previous = *old;
    json merged = *old;
    // A new start in either form replaces the old one.
    if (request.contains("start") || request.contains("startInMinutes")) merged.erase("start");
    merged.merge_patch(request);
    merged["id"] = id;
    *old = read(merged);
    return *old;
}

// The wire attributes whose scenario fields differ between the two versions of an item.
std::map<std::string, std::string> Changed(
    const json& before, const json& after,
    std::initializer_list<std::pair<const char*, const char*>> fieldToAttribute) {
    std::map<std::string, std::string> changed;
    for (const auto& [field, attribute] : fieldToAttribute) {
        if (before.value(field, json()) == after.value(field, json())) continue;
        const json& value = after.value(field, json());
        changed[attribute] = value.is_string() ? value.get<std::string>() : value.dump();
    }
    return changed;
}

json WithCounts(json item, std::initializer_list<const char*> counts) {
    for (const char* key : counts) {
        if (!item.contains(key)) item[key] = 0;
    }
    return item;
}

}  // namespace

json DeliverMail(StateData& data, const json& request) {
    Scenario next = data.scenario;
    json message = ReadMessage(request, NowMs());
    if (!message.contains("id")) message["id"] = NextId(next);
    next.messages.push_back(message);
    CheckMailbox(next);
    data.scenario = std::move(next);
    const std::string element = MessageElement(message);
    Announce(data, [&](PendingChanges& p) { p.created.push_back(element); });
    Recount(data, message, 1, message["unread"].get<bool>() ? 1 : 0);
    return message;
}

json MarkRead(StateData& data, const json& request) {
    const std::string id = RequiredId(request);
    OnlyKnownFields(request, {"id", "unread"}, "a read mark");
    const json unreadField = request.value("unread", json(false));
    if (!unreadField.is_boolean()) throw FieldError("unread must be true or false");
    json* message = FindById(data.scenario.messages, id);
    if (!message) throw FieldError("no message " + id);
    const bool unread = unreadField.get<bool>();
    if ((*message)["unread"].get<bool>() == unread) return *message;
    (*message)["unread"] = unread;
    const json changed = *message;
    const std::string element = "<m" + XmlAttr("id", id) + XmlAttr("f", unread ? "u" : "") + "/>";
    Announce(data, [&](PendingChanges& p) { p.modified.push_back(element); });
    Recount(data, changed, 0, unread ? 1 : -1);
    return changed;
}

json DeleteItem(StateData& data, const json& request) {
    const std::string id = RequiredId(request);
    OnlyKnownFields(request, {"id"}, "a deletion");
    Scenario& s = data.scenario;
    json removed = Remove(s.messages, id);
    if (!removed.is_null()) Recount(data, removed, -1, removed["unread"].get<bool>() ? -1 : 0);
    if (removed.is_null()) removed = Remove(s.appointments, id);
    if (removed.is_null()) removed = Remove(s.tags, id);
    if (removed.is_null() && FindById(s.folders, id)) {
        const auto holds = [&](const json& items, const char* key) {
            return std::any_of(items.begin(), items.end(),
                               [&](const json& item) { return Text(item, key) == id; });
        };
        if (holds(s.folders, "parent") || holds(s.messages, "folder") ||
            holds(s.appointments, "folder")) {
            throw FieldError("folder " + id + " is not empty");
        }
        removed = Remove(s.folders, id);
    }
    if (removed.is_null()) throw FieldError("no item " + id);
    Announce(data, [&](PendingChanges& p) {
        p.touched.erase({"folder", id});
        p.touched.erase({"tag", id});
        p.deleted.push_back(id);
    });
    return removed;
}

void CancelAppointment(StateData& data, const std::string& invId, const std::string& occurrence) {
    // The invitation id the listing gives is the item's id twice, "400-400".
    const std::string id = invId.substr(0, invId.find('-'));
    json* appointment = id.empty() ? nullptr : FindById(data.scenario.appointments, id);
    if (!appointment || (invId != id && invId != id + "-" + id)) {
        throw FieldError("no such appointment: " + invId);
    }
    if (!occurrence.empty()) {
        const auto when = ParseCompactTime(occurrence, appointment->value("tzOffsetMinutes", 0));
        const std::vector<Instance> instances = Instances(*appointment);
        const bool known = when && std::any_of(instances.begin(), instances.end(),
                                               [&](const Instance& i) { return i.start == *when; });
        if (!known) throw FieldError("no such occurrence: " + occurrence);
        if (instances.size() > 1) {
            (*appointment)["cancelled"].push_back(*when);
            const std::string element = AppointmentChange(data.scenario, *appointment, NowMs(), true);
            Announce(data, [&](PendingChanges& p) { p.modified.push_back(element); });
            return;
        }
    }
    DeleteItem(data, json{{"id", id}});
}

json PutAppointment(StateData& data, const json& request) {
    const Millis now = NowMs();
    Scenario next = data.scenario;
    json previous;
    const json appointment = Upsert(
        next, &Scenario::appointments, request,
        [now](const json& in) { return ReadAppointment(in, now); }, previous);
    CheckMailbox(next);
    data.scenario = std::move(next);
    if (previous.is_null()) {
        const std::string element = AppointmentChange(data.scenario, appointment, now, true);
        Announce(data, [&](PendingChanges& p) { p.created.push_back(element); });
        return appointment;
    }
    if (previous == appointment) return appointment;
    // A move or a new tag is told alone; anything else comes with the whole invite.
    json rest = previous, restAfter = appointment;
    for (json* item : {&rest, &restAfter}) {
        item->erase("folder");
        item->erase("tags");
    }
    const std::string element =
        AppointmentChange(data.scenario, appointment, now, rest != restAfter);
    Announce(data, [&](PendingChanges& p) { p.modified.push_back(element); });
    return appointment;
}

json PutFolder(StateData& data, const json& request) {
    Scenario next = data.scenario;
    json previous;
    const json folder = Upsert(
        next, &Scenario::folders, request,
        [](const json& in) {
            return WithCounts(ReadFolder(in), {"unread", "count"});
        },
        previous);
    CheckMailbox(next);
    data.scenario = std::move(next);
    if (previous.is_null()) {
        const std::string element = FolderElement(folder);
        Announce(data, [&](PendingChanges& p) { p.created.push_back(element); });
    } else {
        Touch(data, "folder", Text(folder, "id"),
              Changed(previous, folder,
                      {{"name", "name"}, {"parent", "l"}, {"unread", "u"}, {"count", "n"}}));
    }
    return folder;
}

json PutTag(StateData& data, const json& request) {
    Scenario next = data.scenario;
    json previous;
    const json tag = Upsert(
        next, &Scenario::tags, request,
        [](const json& in) { return WithCounts(ReadTag(in), {"unread"}); }, previous);
    CheckMailbox(next);
    data.scenario = std::move(next);
    if (previous.is_null()) {
        const std::string element = TagElement(tag);
        Announce(data, [&](PendingChanges& p) { p.created.push_back(element); });
    } else {
        Touch(data, "tag", Text(tag, "id"),
              Changed(previous, tag, {{"name", "name"}, {"color", "color"}, {"unread", "u"}}));
    }
    return tag;
}

}  // namespace tovela::fakeserver

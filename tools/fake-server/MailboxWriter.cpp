#include "MailboxWriter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

#include "EnvelopeWriter.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

std::string Number(long long value) {
    return std::to_string(value);
}

// The attribute when the item has a non-empty text for `key`.
std::string TextAttr(const std::string& name, const json& item, const char* key) {
    const std::string value = Text(item, key);
    return value.empty() ? std::string() : XmlAttr(name, value);
}

std::string Flag(const json& item, const char* key) {
    return item.value(key, false) ? "1" : "0";
}

std::string Uid(const json& appointment) {
    const std::string uid = Text(appointment, "uid");
    return uid.empty() ? Text(appointment, "id") + "@example.test" : uid;
}

std::string Subfolders(const Scenario& scenario, const std::string& parent) {
    std::string out;
    for (const json& folder : scenario.folders) {
        if (Text(folder, "parent") == parent) {
            out += FolderElement(folder, Subfolders(scenario, Text(folder, "id")));
        }
    }
    return out;
}

// Items in a shared calendar are placed by the owner's account and folder id.
std::string WireFolderId(const Scenario& scenario, const std::string& folderId) {
    const json* folder = FindById(scenario.folders, folderId);
    if (folder && folder->value("link", false) && !Text(*folder, "owner").empty() &&
        !Text(*folder, "remoteId").empty()) {
        return Text(*folder, "owner") + ":" + Text(*folder, "remoteId");
    }
    return folderId;
}

Millis WindowBound(const Operation& operation, const std::string& name, Millis fallback) {
    const std::string text = OperationAttribute(operation, name);
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    return text.empty() || *end != '\0' ? fallback : value;
}

std::string AlarmData(const json& appointment) {
    if (!appointment.contains("alarm")) return {};
    const json& alarm = appointment["alarm"];
    std::string trigger;
    if (alarm.contains("abs")) {
        trigger = "<abs" + XmlAttr("d", Text(alarm, "abs")) + "/>";
    } else {
        const json& rel = alarm["rel"];
        trigger = "<rel";
        for (const char* unit : {"w", "d", "h", "m", "s"}) {
            if (rel.contains(unit)) trigger += XmlAttr(unit, Number(rel[unit].get<long long>()));
        }
        if (rel.value("neg", false)) trigger += XmlAttr("neg", "1");
        trigger += XmlAttr("related", Text(rel, "related")) + "/>";
    }
    return "<alarmData><alarm action=\"DISPLAY\"><trigger>" + trigger +
           "</trigger></alarm></alarmData>";
}

std::string ListingAttributes(const Scenario& scenario, const json& a) {
    const std::string id = Text(a, "id");
    std::string out = XmlAttr("id", id) + XmlAttr("name", Text(a, "name")) +
                      XmlAttr("l", WireFolderId(scenario, Text(a, "folder"))) +
                      TextAttr("t", a, "tags") +
                      XmlAttr("d", Number(a["durationMs"].get<long long>()));
    if (a.value("allDay", false)) out += XmlAttr("allDay", "1");
    out += XmlAttr("status", Text(a, "status")) + TextAttr("loc", a, "location") +
           XmlAttr("compNum", "0") + XmlAttr("fb", Text(a, "freeBusy")) + XmlAttr("x_uid", Uid(a)) +
           XmlAttr("fba", Text(a, "freeBusy")) + XmlAttr("ptst", Text(a, "partStat")) +
           XmlAttr("transp", Text(a, "transparency")) + XmlAttr("isOrg", Flag(a, "isOrg"));
    if (a.contains("repeat")) out += XmlAttr("recur", "1");
    return out + XmlAttr("invId", id + "-" + id);
}

}  // namespace

std::string RefreshContent(const Scenario& scenario) {
    std::string tags;
    for (const json& tag : scenario.tags) tags += TagElement(tag);
    return "<folder id=\"1\" name=\"USER_ROOT\" l=\"11\">" + Subfolders(scenario, "1") +
           "</folder><tags>" + tags + "</tags>";
}

std::string FolderElement(const json& folder, const std::string& subfolders) {
    const std::string element = folder.value("link", false) ? "link" : "folder";
    std::string out = "<" + element + XmlAttr("id", Text(folder, "id")) +
                      XmlAttr("name", Text(folder, "name")) + XmlAttr("l", Text(folder, "parent"));
    const long long unread = folder.value("unread", 0LL);
    if (unread > 0) out += XmlAttr("u", Number(unread));
    out += XmlAttr("n", Number(folder.value("count", 0LL))) +
           XmlAttr("view", Text(folder, "view")) + TextAttr("zid", folder, "owner") +
           TextAttr("rid", folder, "remoteId");
    return subfolders.empty() ? out + "/>" : out + ">" + subfolders + "</" + element + ">";
}

std::string TagElement(const json& tag) {
    std::string out = "<tag" + XmlAttr("id", Text(tag, "id")) + XmlAttr("name", Text(tag, "name")) +
                      TextAttr("color", tag, "color");
    const long long unread = tag.value("unread", 0LL);
    if (unread > 0) out += XmlAttr("u", Number(unread));
    return out + "/>";
}

std::string MessageElement(const json& m) {
    std::string out = "<m" + XmlAttr("id", Text(m, "id"));
    if (m.value("unread", false)) out += XmlAttr("f", "u");
    out += XmlAttr("l", Text(m, "folder")) + TextAttr("t", m, "tags") +
           XmlAttr("d", Number(m["date"].get<long long>())) + ">";
    const json& from = m["from"];
    if (!from.empty()) {
        out +=
            "<e t=\"f\"" + TextAttr("a", from, "address") + TextAttr("p", from, "personal") + "/>";
    }
    return out + "<su>" + XmlEscape(Text(m, "subject")) + "</su></m>";
}

std::string ListedAppointments(const Scenario& scenario, const Operation& operation) {
    const bool search = operation.name == "SearchRequest";
    const Millis from = WindowBound(operation, search ? "calExpandInstStart" : "s", LLONG_MIN);
    const Millis to = WindowBound(operation, search ? "calExpandInstEnd" : "e", LLONG_MAX);
    std::vector<std::pair<Millis, std::string>> listed;
    for (const json& a : scenario.appointments) {
        if (InTrash(scenario, Text(a, "folder"))) continue;
        const bool allDay = a.value("allDay", false);
        std::string instances;
        Millis first = 0;
        for (const Instance& instance : Instances(a)) {
            // An occurrence of no length counts as lasting a moment.
            if (instance.start >= to || std::max(instance.end, instance.start + 1) <= from)
                continue;
            if (instances.empty()) first = instance.start;
            instances += "<inst" + XmlAttr("s", Number(instance.start));
            if (allDay)
                instances += XmlAttr("tzo", Number(a.value("tzOffsetMinutes", 0LL) * 60000));
            instances += "/>";
        }
        if (instances.empty()) continue;
        listed.emplace_back(first, "<appt" + ListingAttributes(scenario, a) + ">" + AlarmData(a) +
                                       instances + "</appt>");
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::string out;
    for (const auto& item : listed) out += item.second;
    return out;
}

std::string AppointmentChange(const Scenario& scenario, const json& a, Millis now, bool full) {
    std::string out = "<appt" + XmlAttr("id", Text(a, "id")) +
                      XmlAttr("l", WireFolderId(scenario, Text(a, "folder"))) +
                      TextAttr("t", a, "tags");
    if (!full) return out + "/>";
    if (const auto alarm = AlarmTime(a, CurrentInstance(a, now))) {
        out += XmlAttr("nextAlarm", Number(*alarm));
    }
    const Instance series = Instances(a).front();
    const int offset = a.value("tzOffsetMinutes", 0);
    const bool allDay = a.value("allDay", false);
    const bool zoned = !allDay && !Text(a, "tzId").empty();
    out += "><inv>";
    if (zoned) {
        out += "<tz" + XmlAttr("id", Text(a, "tzId")) + XmlAttr("stdoff", Number(offset)) + "/>";
    }
    // The client takes any allDay attribute for an all-day appointment, so timed ones have none.
    out += "<comp" + XmlAttr("name", Text(a, "name")) + (allDay ? XmlAttr("allDay", "1") : "") +
           XmlAttr("status", Text(a, "status")) + XmlAttr("loc", Text(a, "location")) +
           XmlAttr("compNum", "0") + XmlAttr("fb", Text(a, "freeBusy")) +
           XmlAttr("fba", Text(a, "freeBusy")) + XmlAttr("x_uid", Uid(a)) +
           XmlAttr("transp", Text(a, "transparency")) + XmlAttr("isOrg", Flag(a, "isOrg")) + ">";
    std::string start, end;
    if (allDay) {
        start = CompactDate(series.start, offset);
        end = CompactDate(std::max(series.start, series.end - 1), offset);
    } else if (zoned) {
        start = CompactTime(series.start, offset);
        end = CompactTime(series.end, offset);
    } else {
        start = CompactUtcTime(series.start);
        end = CompactUtcTime(series.end);
    }
    return out + "<s" + XmlAttr("d", start) + "/><e" + XmlAttr("d", end) + "/></comp></inv></appt>";
}

}  // namespace tovela::fakeserver

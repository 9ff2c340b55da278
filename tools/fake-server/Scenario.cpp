#include "Scenario.h"

#include <cctype>

#include "JsonFields.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

json OptionalText(const std::optional<std::string>& value) {
    return value ? json(*value) : json(nullptr);
}

std::map<std::string, std::string> TextMap(const json& object, const std::string& where) {
    RequireObject(object, where);
    std::map<std::string, std::string> map;
    for (const auto& [key, value] : object.items()) map[key] = TextField(value, where + "." + key);
    return map;
}

json ArrayField(const json& value, const std::string& where) {
    if (!value.is_array()) throw FieldError(where + " must be an array");
    return value;
}

Signature ReadSignature(const json& object) {
    OnlyKnownFields(object, {"id", "name", "type", "content"}, "a signature");
    Signature signature;
    if (object.contains("id")) signature.id = TextField(object["id"], "signature id");
    if (object.contains("name")) signature.name = TextField(object["name"], "signature name");
    if (object.contains("type")) signature.type = TextField(object["type"], "signature type");
    if (object.contains("content")) {
        signature.content = TextField(object["content"], "signature content");
    }
    return signature;
}

Scenario ReadScenario(const json& in) {
    OnlyKnownFields(in,
                    {"account", "version", "lifetimeMs", "changeToken", "prefs", "attrs",
                     "signatures", "limits", "folders", "tags", "messages", "appointments"},
                    "the scenario");
    Scenario s;
    if (in.contains("account")) {
        const json& a = in["account"];
        OnlyKnownFields(a, {"user", "password", "id", "name"}, "account");
        if (a.contains("user")) s.account.user = TextField(a["user"], "account.user");
        if (a.contains("password"))
            s.account.password = TextField(a["password"], "account.password");
        if (a.contains("id")) s.account.id = TextField(a["id"], "account.id");
        if (a.contains("name")) s.account.name = TextField(a["name"], "account.name");
    }
    if (in.contains("version")) s.version = TextField(in["version"], "version");
    if (in.contains("lifetimeMs")) s.lifetimeMs = TextField(in["lifetimeMs"], "lifetimeMs");
    if (in.contains("changeToken")) s.changeToken = TextField(in["changeToken"], "changeToken");
    if (in.contains("prefs")) s.prefs = TextMap(in["prefs"], "prefs");
    if (in.contains("attrs")) s.attrs = TextMap(in["attrs"], "attrs");
    if (in.contains("signatures")) {
        for (const json& item : ArrayField(in["signatures"], "signatures")) {
            s.signatures.push_back(ReadSignature(item));
        }
    }
    if (in.contains("limits")) {
        const json& l = in["limits"];
        OnlyKnownFields(l, {"attSizeLimit", "docSizeLimit"}, "limits");
        if (l.contains("attSizeLimit") && !l["attSizeLimit"].is_null()) {
            s.limits.attSizeLimit = TextField(l["attSizeLimit"], "limits.attSizeLimit");
        }
        if (l.contains("docSizeLimit") && !l["docSizeLimit"].is_null()) {
            s.limits.docSizeLimit = TextField(l["docSizeLimit"], "limits.docSizeLimit");
        }
    }
    const Millis now = NowMs();
    const auto readAll = [&](const char* name, json& into, auto read) {
        if (!in.contains(name)) return;
        into = json::array();
        for (const json& item : ArrayField(in[name], name)) into.push_back(read(item));
    };
    readAll("folders", s.folders, ReadFolder);
    readAll("tags", s.tags, ReadTag);
    readAll("messages", s.messages, [now](const json& m) { return ReadMessage(m, now); });
    readAll("appointments", s.appointments,
            [now](const json& a) { return ReadAppointment(a, now); });
    CompleteMailbox(s);
    return s;
}

}  // namespace

json ToJson(const Scenario& s) {
    json signatures = json::array();
    for (const Signature& sig : s.signatures) {
        signatures.push_back(
            {{"id", sig.id}, {"name", sig.name}, {"type", sig.type}, {"content", sig.content}});
    }
    return {{"account",
             {{"user", s.account.user},
              {"password", s.account.password},
              {"id", s.account.id},
              {"name", s.account.name}}},
            {"version", s.version},
            {"lifetimeMs", s.lifetimeMs},
            {"changeToken", s.changeToken},
            {"prefs", s.prefs},
            {"attrs", s.attrs},
            {"signatures", signatures},
            {"limits",
             {{"attSizeLimit", OptionalText(s.limits.attSizeLimit)},
              {"docSizeLimit", OptionalText(s.limits.docSizeLimit)}}},
            {"folders", s.folders},
            {"tags", s.tags},
            {"messages", s.messages},
            {"appointments", s.appointments}};
}

std::optional<Scenario> ParseScenario(const json& in, std::string& error) {
    try {
        return ReadScenario(in);
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
}

std::optional<Scenario> MergeScenario(const Scenario& scenario, const json& patch,
                                      std::string& error) {
    if (!patch.is_object()) {
        error = "a scenario change must be a JSON object";
        return std::nullopt;
    }
    json merged = ToJson(scenario);
    merged.merge_patch(patch);
    return ParseScenario(merged, error);
}

double LeadingNumber(const std::string& text) {
    std::size_t end = 0;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    }
    const std::string number = text.substr(0, end);
    return number.empty() || number == "." ? 0.0 : std::stod(number);
}

}  // namespace tovela::fakeserver

#include "Script.h"

#include <cctype>

#include "JsonFields.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

int IntField(const json& value, const std::string& where) {
    if (!value.is_number_integer()) throw FieldError(where + " must be a whole number");
    return value.get<int>();
}

bool BoolField(const json& value, const std::string& where) {
    if (!value.is_boolean()) throw FieldError(where + " must be true or false");
    return value.get<bool>();
}

int StatusField(const json& value, const std::string& where) {
    const int status = IntField(value, where);
    if (status < 100 || status > 599) throw FieldError(where + " must be an HTTP status");
    return status;
}

ScriptedFault ReadFault(const json& value) {
    ScriptedFault fault;
    if (value.is_string()) {
        fault.text = value.get<std::string>();
        return fault;
    }
    OnlyKnownFields(value, {"text", "code"}, "fault");
    if (value.contains("text")) fault.text = TextField(value["text"], "fault.text");
    if (value.contains("code")) fault.code = TextField(value["code"], "fault.code");
    return fault;
}

CannedResponse ReadCanned(const json& value) {
    OnlyKnownFields(value, {"method", "status", "contentType", "body"}, "nextResponse");
    CannedResponse canned;
    if (value.contains("method")) canned.method = TextField(value["method"], "nextResponse.method");
    for (char& c : canned.method)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (value.contains("status"))
        canned.status = StatusField(value["status"], "nextResponse.status");
    if (value.contains("contentType")) {
        canned.contentType = TextField(value["contentType"], "nextResponse.contentType");
    }
    if (value.contains("body")) canned.body = TextField(value["body"], "nextResponse.body");
    return canned;
}

Script ReadScript(const json& in) {
    OnlyKnownFields(in,
                    {"optionsRefusal", "refer", "delayMs", "authFailed", "sessionFault", "fault",
                     "htmlPage", "newSession", "refresh", "nextResponse", "oversize", "cutAfter"},
                    "the script");
    Script s;
    auto has = [&](const char* key) { return in.contains(key) && !in[key].is_null(); };
    if (has("optionsRefusal"))
        s.optionsRefusal = StatusField(in["optionsRefusal"], "optionsRefusal");
    if (has("refer")) s.refer = TextField(in["refer"], "refer");
    if (has("delayMs")) s.delayMs = IntField(in["delayMs"], "delayMs");
    if (s.delayMs < 0) throw FieldError("delayMs must not be negative");
    if (has("authFailed")) s.authFailed = BoolField(in["authFailed"], "authFailed");
    if (has("sessionFault")) s.sessionFault = TextField(in["sessionFault"], "sessionFault");
    if (!s.sessionFault.empty() && s.sessionFault != "expired" && s.sessionFault != "invalid") {
        throw FieldError("sessionFault must be \"expired\" or \"invalid\"");
    }
    if (has("fault")) s.fault = ReadFault(in["fault"]);
    if (has("htmlPage")) s.htmlPage = TextField(in["htmlPage"], "htmlPage");
    if (has("newSession")) s.newSession = BoolField(in["newSession"], "newSession");
    if (has("refresh")) s.refresh = BoolField(in["refresh"], "refresh");
    if (has("nextResponse")) s.nextResponse = ReadCanned(in["nextResponse"]);
    if (has("oversize")) s.oversize = IntField(in["oversize"], "oversize");
    if (has("cutAfter")) s.cutAfter = IntField(in["cutAfter"], "cutAfter");
    if ((s.oversize && *s.oversize < 0) || (s.cutAfter && *s.cutAfter < 0)) {
        throw FieldError("oversize and cutAfter must not be negative");
    }
    return s;
}

}  // namespace

json ToJson(const Script& s) {
    json out = {{"optionsRefusal", s.optionsRefusal ? json(*s.optionsRefusal) : json(nullptr)},
                {"refer", s.refer},
                {"delayMs", s.delayMs},
                {"authFailed", s.authFailed},
                {"sessionFault", s.sessionFault},
                {"fault", nullptr},
                {"htmlPage", s.htmlPage ? json(*s.htmlPage) : json(nullptr)},
                {"newSession", s.newSession},
                {"refresh", s.refresh},
                {"nextResponse", nullptr},
                {"oversize", s.oversize ? json(*s.oversize) : json(nullptr)},
                {"cutAfter", s.cutAfter ? json(*s.cutAfter) : json(nullptr)}};
    if (s.fault) out["fault"] = {{"text", s.fault->text}, {"code", s.fault->code}};
    if (s.nextResponse) {
        out["nextResponse"] = {{"method", s.nextResponse->method},
                               {"status", s.nextResponse->status},
                               {"contentType", s.nextResponse->contentType},
                               {"body", s.nextResponse->body}};
    }
    return out;
}

std::optional<Script> MergeScript(const Script& script, const json& patch, std::string& error) {
    if (!patch.is_object()) {
        error = "a script change must be a JSON object";
        return std::nullopt;
    }
    json merged = ToJson(script);
    merged.merge_patch(patch);
    try {
        return ReadScript(merged);
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
}

}  // namespace tovela::fakeserver

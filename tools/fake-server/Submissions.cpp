#include "Submissions.h"

#include "JsonFields.h"

namespace tovela::fakeserver {

using nlohmann::json;

json ToJson(const SubmissionFault& fault) {
    json out = {{"request", fault.request}, {"name", fault.name}, {"fault", fault.kind}};
    if (fault.kind == "custom") out["fault"] = {{"text", fault.text}, {"code", fault.code}};
    return out;
}

SubmissionFault ReadSubmissionFault(const json& in) {
    OnlyKnownFields(in, {"request", "name", "fault"}, "a submission fault");
    SubmissionFault fault;
    if (in.contains("request")) fault.request = TextField(in["request"], "request");
    if (!fault.request.empty() && fault.request != "SendMsgRequest" &&
        fault.request != "SaveDraftRequest" && fault.request != "SaveDocumentRequest") {
        throw FieldError("request must be SendMsgRequest, SaveDraftRequest or SaveDocumentRequest");
    }
    if (in.contains("name")) fault.name = TextField(in["name"], "name");
    if (!in.contains("fault")) throw FieldError("a submission fault needs its fault");
    const json& kind = in["fault"];
    if (kind.is_string()) {
        fault.kind = kind.get<std::string>();
        if (fault.kind != "exists" && fault.kind != "size") {
            throw FieldError("fault must be \"exists\", \"size\" or {\"text\", \"code\"}");
        }
        return fault;
    }
    OnlyKnownFields(kind, {"text", "code"}, "fault");
    fault.kind = "custom";
    fault.text = kind.contains("text") ? TextField(kind["text"], "fault.text") : "";
    fault.code = kind.contains("code") ? TextField(kind["code"], "fault.code") : "service.FAILURE";
    if (fault.text.empty()) throw FieldError("fault.text must not be empty");
    return fault;
}

}  // namespace tovela::fakeserver

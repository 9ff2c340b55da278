#include "SubmissionResponder.h"

#include <algorithm>

#include "CalendarTime.h"
#include "EnvelopeWriter.h"
#include "Mailbox.h"
#include "SubmissionReader.h"
#include "UploadLookup.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

std::string TextOr(const json& value, const std::string& otherwise) {
    return value.is_string() ? value.get<std::string>() : otherwise;
}

std::vector<std::string> SplitIds(const std::string& ids) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t comma; (comma = ids.find(',', start)) != std::string::npos;
         start = comma + 1) {
        parts.push_back(ids.substr(start, comma - start));
    }
    parts.push_back(ids.substr(start));
    return parts;
}

// Ids from the mailbox's numbering, never one a kept item or a mailbox item already has.
std::string NewId(StateData& state) {
    state.submissions.lastId =
        std::max(std::stoll(NextId(state.scenario)), state.submissions.lastId + 1);
    return std::to_string(state.submissions.lastId);
}

json UploadJson(const std::string& id, const std::optional<KeptUpload>& upload) {
    if (!upload) return {{"id", id}, {"name", nullptr}, {"size", nullptr}, {"sha256", nullptr}};
    return {{"id", id}, {"name", upload->name}, {"size", upload->size}, {"sha256", upload->sha256}};
}

// The first scripted fault that fits; it is used up.
std::optional<ScriptedFault> TakeScriptedFault(Submissions& kept, const std::string& request,
                                               const std::string& name,
                                               const std::string& sizeText) {
    const auto fits = [&](const SubmissionFault& f) {
        return (f.request.empty() || f.request == request) && (f.name.empty() || f.name == name);
    };
    const auto found = std::find_if(kept.faults.begin(), kept.faults.end(), fits);
    if (found == kept.faults.end()) return std::nullopt;
    const SubmissionFault fault = *found;
    kept.faults.erase(found);
    if (fault.kind == "exists") {
        return ScriptedFault{"object with that name already exists: " + name,
                             "mail.ALREADY_EXISTS"};
    }
    if (fault.kind == "size")
        return ScriptedFault{sizeText + " exceeded allowed size", "mail.TOO_LARGE"};
    return ScriptedFault{fault.text, fault.code};
}

std::string ResponseStart(const ReadSubmission& op) {
    std::string name = op.name.substr(0, op.name.size() - std::string("Request").size());
    std::string start = "<" + name + "Response";
    if (!op.ns.empty()) start += XmlAttr("xmlns", op.ns);
    if (op.requestId) start += XmlAttr("requestId", *op.requestId);
    return start + ">";
}

std::string ResponseEnd(const ReadSubmission& op) {
    return "</" + op.name.substr(0, op.name.size() - std::string("Request").size()) + "Response>";
}

std::optional<ScriptedFault> KeepMessage(StateData& state, const ReadSubmission& op,
                                         std::string& answer) {
    json message = op.fields;
    message["attachments"] = json::array();
    if (message["attachIds"].is_string()) {
        for (const std::string& id : SplitIds(message["attachIds"].get<std::string>())) {
            const UploadLookup lookup = LookUpUpload(state, id);
            if (lookup.uploadsKept && !lookup.upload) {
                return ScriptedFault{"no such upload: " + id, "mail.NO_SUCH_UPLOAD"};
            }
            message["attachments"].push_back(UploadJson(id, lookup.upload));
        }
    }
    if (auto fault = TakeScriptedFault(state.submissions, op.name, TextOr(message["subject"], ""),
                                       "message")) {
        return fault;
    }
    const bool send = op.name == "SendMsgRequest";
    if (send && message["to"].empty() && message["cc"].empty() && message["bcc"].empty()) {
        return ScriptedFault{"invalid request: no recipients", "mail.SEND_FAILURE"};
    }
    const std::string id = NewId(state);
    message["id"] = id;
    message["date"] = NowMs();
    (send ? state.submissions.sent : state.submissions.drafts).push_back(message);
    answer = ResponseStart(op) + "<m" + XmlAttr("id", id) + "/>" + ResponseEnd(op);
    return std::nullopt;
}

std::optional<ScriptedFault> KeepDocument(StateData& state, const ReadSubmission& op,
                                          std::string& answer) {
    json document = op.fields;
    const std::string uploadId = document["uploadId"].get<std::string>();
    const UploadLookup lookup = LookUpUpload(state, uploadId);
    if (lookup.uploadsKept && !lookup.upload) {
        return ScriptedFault{"no such upload: " + uploadId, "mail.NO_SUCH_UPLOAD"};
    }
    if (document["name"].is_null() && lookup.upload) document["name"] = lookup.upload->name;
    const std::string name = TextOr(document["name"], uploadId);
    if (auto fault = TakeScriptedFault(state.submissions, op.name, name, "document " + name)) {
        return fault;
    }
    // Names are unique within a folder.
    for (const json& kept : state.submissions.documents) {
        if (!document["name"].is_null() && kept.at("name") == document["name"] &&
            kept.at("folder") == document["folder"]) {
            return ScriptedFault{"object with that name already exists: " + name,
                                 "mail.ALREADY_EXISTS"};
        }
    }
    const json upload = UploadJson(uploadId, lookup.upload);
    document["size"] = upload["size"];
    document["sha256"] = upload["sha256"];
    const std::string id = NewId(state);
    document["id"] = id;
    document["date"] = NowMs();
    state.submissions.documents.push_back(document);
    std::string doc = "<doc" + XmlAttr("id", id) + " ver=\"1\"";
    if (document["name"].is_string()) doc += XmlAttr("name", name);
    answer = ResponseStart(op) + doc + "/>" + ResponseEnd(op);
    return std::nullopt;
}

// A fault inside a batch answer, in place of the failed operation's response.
std::string FaultElement(const ScriptedFault& fault, const ReadSubmission& op) {
    std::string start = "<soap:Fault";
    if (op.requestId) start += XmlAttr("requestId", *op.requestId);
    return start +
           "><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code><soap:Reason><soap:Text>" +
           XmlEscape(fault.text) +
           "</soap:Text></soap:Reason><soap:Detail><Error xmlns=\"urn:tovela\"><Code>" +
           XmlEscape(fault.code) + "</Code></Error></soap:Detail></soap:Fault>";
}

}  // namespace

SubmissionAnswers AnswerSubmissions(StateData& state, const ClientRequest& request,
                                    const std::string& envelope) {
    SubmissionAnswers result;
    if (std::none_of(request.operations.begin(), request.operations.end(),
                     [](const Operation& op) { return IsSubmission(op.name); })) {
        return result;
    }
    const ReadEnvelope read = ReadSubmissions(envelope);
    if (!read.parseError.empty()) {
        result.envelopeFault =
            ScriptedFault{"malformed request: " + read.parseError, "service.PARSE_ERROR"};
        return result;
    }
    for (const ReadSubmission& op : read.submissions) {
        std::string answer;
        std::optional<ScriptedFault> fault;
        if (!op.error.empty()) {
            fault = ScriptedFault{op.error, "service.INVALID_REQUEST"};
        } else if (op.name == "SaveDocumentRequest") {
            fault = KeepDocument(state, op, answer);
        } else {
            fault = KeepMessage(state, op, answer);
        }
        if (fault && !request.batch) {
            result.envelopeFault = fault;
            return result;
        }
        result.answers.push_back(fault ? FaultElement(*fault, op) : answer);
    }
    return result;
}

}  // namespace tovela::fakeserver

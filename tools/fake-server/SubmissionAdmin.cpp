#include "SubmissionAdmin.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"
#include "RequestLog.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

void SendJson(httplib::Response& res, const json& value, int status = 200) {
    res.status = status;
    res.set_content(DumpJson(value) + "\n", "application/json");
}

void AddList(httplib::Server& server, ServerState& state, const char* path,
             json Submissions::*list) {
    server.Get(path, [&state, list](const httplib::Request&, httplib::Response& res) {
        SendJson(res, state.With([list](StateData& data) { return data.submissions.*list; }));
    });
}

}  // namespace

json PendingSubmissionFaults(const StateData& data) {
    json faults = json::array();
    for (const SubmissionFault& fault : data.submissions.faults) faults.push_back(ToJson(fault));
    return faults;
}

void AddSubmissionRoutes(httplib::Server& server, ServerState& state) {
    AddList(server, state, "/admin/sent", &Submissions::sent);
    AddList(server, state, "/admin/drafts", &Submissions::drafts);
    AddList(server, state, "/admin/documents", &Submissions::documents);

    server.Post("/admin/submission-fault",
                [&state](const httplib::Request& req, httplib::Response& res) {
                    const json request = json::parse(req.body, nullptr, false);
                    try {
                        if (request.is_discarded()) throw FieldError("the body is not JSON");
                        const SubmissionFault fault = ReadSubmissionFault(request);
                        SendJson(res, state.With([&](StateData& data) {
                            data.submissions.faults.push_back(fault);
                            return PendingSubmissionFaults(data);
                        }));
                    } catch (const std::exception& e) {
                        SendJson(res, {{"error", e.what()}}, 400);
                    }
                });
}

}  // namespace tovela::fakeserver

#include "AdminApi.h"

#include <optional>
#include <string>

#include "MailboxChanges.h"
#include "SubmissionAdmin.h"

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

void SendJson(httplib::Response& res, const json& value, int status = 200) {
    res.status = status;
    res.set_content(DumpJson(value) + "\n", "application/json");
}

void SendError(httplib::Response& res, const std::string& error, int status = 400) {
    SendJson(res, {{"error", error}}, status);
}

// The request body as JSON; an empty body counts as an empty object.
std::optional<json> BodyJson(const httplib::Request& req, httplib::Response& res) {
    if (req.body.empty()) return json::object();
    json value = json::parse(req.body, nullptr, false);
    if (value.is_discarded()) {
        SendError(res, "the body is not JSON");
        return std::nullopt;
    }
    return value;
}

json StateJson(const StateData& data) {
    json sessions = json::array();
    for (const auto& [token, session] : data.sessionByToken) {
        json entry = {{"authToken", token}, {"sessionId", session}};
        if (const auto feed = data.feeds.find(session); feed != data.feeds.end()) {
            entry["notifySeq"] = feed->second.seq;
            entry["notifyPending"] = !feed->second.pending.Empty();
        }
        sessions.push_back(entry);
    }
    return {{"scenario", ToJson(data.scenario)},
            {"script", ToJson(data.script)},
            {"sessions", sessions},
            {"submissionFaults", PendingSubmissionFaults(data)}};
}

// A mailbox change: applied under the lock, answered with the item, or 400 with the reason.
void AddChange(httplib::Server& server, ServerState& state, const char* path,
               json (*change)(StateData&, const json&)) {
    server.Post(path, [&state, change](const httplib::Request& req, httplib::Response& res) {
        const std::optional<json> request = BodyJson(req, res);
        if (!request) return;
        try {
            SendJson(res, state.With([&](StateData& data) { return change(data, *request); }));
        } catch (const std::exception& e) {
            SendError(res, e.what());
        }
    });
}

}  // namespace

void AddAdminRoutes(httplib::Server& server, ServerState& state, RequestLog& log,
                    std::function<void()> requestShutdown) {
    server.Get("/admin/state", [&state](const httplib::Request&, httplib::Response& res) {
        SendJson(res, state.With([](StateData& data) { return StateJson(data); }));
    });

    server.Post("/admin/scenario", [&state](const httplib::Request& req, httplib::Response& res) {
        const std::optional<json> patch = BodyJson(req, res);
        if (!patch) return;
        std::string error;
        const std::optional<json> result = state.With([&](StateData& data) -> std::optional<json> {
            std::optional<Scenario> scenario = MergeScenario(data.scenario, *patch, error);
            if (!scenario) return std::nullopt;
            data.scenario = std::move(*scenario);
            return ToJson(data.scenario);
        });
        if (!result) return SendError(res, error);
        SendJson(res, *result);
    });

    server.Post("/admin/script", [&state](const httplib::Request& req, httplib::Response& res) {
        const std::optional<json> patch = BodyJson(req, res);
        if (!patch) return;
        std::string error;
        const std::optional<json> result = state.With([&](StateData& data) -> std::optional<json> {
            std::optional<Script> script = MergeScript(data.script, *patch, error);
            if (!script) return std::nullopt;
            data.script = std::move(*script);
            return ToJson(data.script);
        });
        if (!result) return SendError(res, error);
        SendJson(res, *result);
    });

    AddChange(server, state, "/admin/mail", DeliverMail);
    AddChange(server, state, "/admin/read", MarkRead);
    AddChange(server, state, "/admin/delete", DeleteItem);
    AddChange(server, state, "/admin/appointment", PutAppointment);
    AddChange(server, state, "/admin/folder", PutFolder);
    AddChange(server, state, "/admin/tag", PutTag);

    AddSubmissionRoutes(server, state);

    server.Get("/admin/requests", [&log](const httplib::Request&, httplib::Response& res) {
        SendJson(res, log.Entries());
    });

    server.Post("/admin/reset", [&state, &log](const httplib::Request&, httplib::Response& res) {
        state.Reset();
        log.Clear();
        SendJson(res, json::object());
    });

    server.Post("/admin/shutdown",
                [requestShutdown](const httplib::Request&, httplib::Response& res) {
                    SendJson(res, {{"stopping", true}});
                    requestShutdown();
                });

    const auto unknown = [](const httplib::Request& req, httplib::Response& res) {
        SendError(res, "no admin endpoint " + req.method + " " + req.path, 404);
    };
    server.Get("/admin/.*", unknown);
    server.Post("/admin/.*", unknown);
}

}  // namespace tovela::fakeserver

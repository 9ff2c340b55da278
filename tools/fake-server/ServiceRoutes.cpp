#include "ServiceRoutes.h"

#include <chrono>
#include <functional>

#include "SoapResponder.h"

namespace tovela::fakeserver {

namespace {

using Answer = std::function<Reply(StateData&, const httplib::Request&)>;

// Decides under the lock, records the request, then waits out a scripted delay: the log
// shows a slow request as soon as it arrived, and the response leaves after the record.
httplib::Server::Handler Serve(ServerState& state, RequestLog& log, StopSignal& stop,
                               Answer answer) {
    return [&state, &log, &stop, answer](const httplib::Request& req, httplib::Response& res) {
        const auto received = std::chrono::system_clock::now();
        int delayMs = 0;
        const Reply reply = state.With([&](StateData& data) {
            delayMs = data.script.delayMs;
            return answer(data, req);
        });
        log.Record(req, reply.status, received);
        if (delayMs > 0) stop.WaitFor(std::chrono::milliseconds(delayMs));
        res.status = reply.status;
        res.set_content(reply.body, reply.contentType);
    };
}

Reply NotFound(StateData&, const httplib::Request&) {
    return {404, "text/plain", "not found\n"};
}

}  // namespace

void AddServiceRoutes(httplib::Server& server, ServerState& state, RequestLog& log,
                      StopSignal& stop) {
    const char* soap = "/service/soap";
    server.Options(soap, Serve(state, log, stop, [](StateData& data, const httplib::Request&) {
                       return AnswerSoapOptions(data);
                   }));
    server.Post(soap, Serve(state, log, stop, [](StateData& data, const httplib::Request& req) {
                    return AnswerSoapPost(data, req.body);
                }));

    // Anything else outside /admin/ (whose routes are added first and so match first).
    const char* other = "/.*";
    const auto notFound = Serve(state, log, stop, NotFound);
    server.Get(other, notFound);
    server.Post(other, notFound);
    server.Put(other, notFound);
    server.Patch(other, notFound);
    server.Delete(other, notFound);
    server.Options(other, notFound);
}

}  // namespace tovela::fakeserver

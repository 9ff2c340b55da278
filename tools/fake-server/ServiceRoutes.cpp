#include "ServiceRoutes.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "SoapResponder.h"

namespace tovela::fakeserver {

namespace {

using Answer = std::function<Reply(StateData&, const httplib::Request&)>;

// An envelope of `size` bytes made while it is sent: the padding sits in a comment of the
// header, so a client that reads it all gets a well-formed answer with nothing in it.
void StreamOversized(httplib::Response& res, const std::string& contentType, std::size_t size) {
    static const std::string head =
        "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header><!--";
    static const std::string tail = "--></soap:Header><soap:Body/></soap:Envelope>";
    const std::size_t padEnd = std::max(size, head.size() + tail.size()) - tail.size();
    res.set_chunked_content_provider(
        contentType, [padEnd](std::size_t offset, httplib::DataSink& sink) {
            static const std::string padding(64 * 1024, 'x');
            if (offset == 0) return sink.write(head.data(), head.size());
            if (offset < padEnd) {
                return sink.write(padding.data(), std::min(padding.size(), padEnd - offset));
            }
            if (!sink.write(tail.data(), tail.size())) return false;
            sink.done();
            return true;
        });
}

// Sends the reply whole, or as the script breaks it.
void Send(const Reply& reply, httplib::Response& res) {
    res.status = reply.status;
    if (reply.streamedSize > 0) return StreamOversized(res, reply.contentType, reply.streamedSize);
    if (reply.cutAfter < reply.body.size()) {
        const auto body = std::make_shared<const std::string>(reply.body);
        const std::size_t cut = reply.cutAfter;
        // The length announced is the whole body's; the connection ends at the cut.
        res.set_content_provider(
            body->size(), reply.contentType,
            [body, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset >= cut) return false;
                return sink.write(body->data() + offset, std::min(length, cut - offset));
            });
        return;
    }
    res.set_content(reply.body, reply.contentType);
}

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
        Send(reply, res);
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

// One check cycle of the client against a loopback server answering a 64 KiB session
// response, and the response processing next to a bare libxml2 parse of the same text.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdio>
#include <map>
#include <thread>

#include "BenchSupport.h"
#include "app/DebugLog.h"
#include "fakes/FakePlatform.h"
#include "platform/posix/Factories.h"
#include "session/ProcessResponse.h"
#include "session/SendSoap.h"
#include "session/SoapRequests.h"

namespace tovela {
namespace {

// A session answer of about 64 KiB: the context header with a refresh block full of
// folders and tags, and a batch with appointments.
std::string SessionResponse() {
    std::string folders;
    for (int i = 0; folders.size() < 40 * 1024; ++i) {
        folders += "<folder id=\"" + std::to_string(300 + i) + "\" name=\"フォルダー " +
                   std::to_string(i) + "\" l=\"2\" u=\"" + std::to_string(i % 7) + "\" n=\"" +
                   std::to_string(i * 3) + "\"/>";
    }
    std::string appointments;
    for (int i = 0; appointments.size() < 20 * 1024; ++i) {
        appointments += "<appt id=\"" + std::to_string(900 + i) + "\" name=\"会議 " +
                        std::to_string(i) +
                        "\" l=\"10\"><inst s=\"1796600000000\" dur=\"3600000\"/><alarm><trigger>"
                        "<rel m=\"15\" related=\"START\" neg=\"1\"/></trigger></alarm></appt>";
    }
    return "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
           "<context xmlns=\"urn:tovela\"><session id=\"S1\">S1</session><change token=\"5\"/>"
           "<refresh><version>8.8.15_GA</version><folder id=\"1\" name=\"USER_ROOT\">" +
           folders +
           "</folder><tags/></refresh></context></soap:Header><soap:Body>"
           "<BatchResponse xmlns=\"urn:tovela\"><SearchResponse xmlns=\"urn:tovelaMail\">" +
           appointments + "</SearchResponse></BatchResponse></soap:Body></soap:Envelope>";
}

class NoEffects final : public ResponseEffects {
public:
    void ResetMainIcon() override {}
    void ShowPollInterval(std::int32_t) override {}
    void DeleteBriefcaseShortcut() override {}
    void RefreshBlock(const XmlNode&) override {}
    void NotifyBlocks(const XmlNode&) override {}
    void AppointmentListing(const XmlNode&) override {}
    void SummaryAndAlerts() override {}
};

struct Client {
    Client() : xml(posix::CreateXmlFactory()), http(posix::CreateHttpFactory()) {
        session.sAuthToken = "TOK";
        session.sSessionId = "S1";
        session.sServerVersion = "8.8.15_GA";
    }
    bool Process(const std::string& text) {
        ResponseState state{session, account, poll, retry, foldersLoaded, last};
        ResponseServices services{*xml, clock, zone, log, effects};
        return ProcessResponse(text, state, services);
    }
    std::unique_ptr<XmlFactory> xml;
    std::unique_ptr<HttpFactory> http;
    testing::FakeClock clock;
    testing::FakeTimeZone zone;
    testing::FakeSystemInfo system;
    NullDebugLog log;
    NoEffects effects;
    SessionContext session;
    AccountPreferences account;
    std::int32_t poll = 30;
    std::int32_t retry = 10;
    bool foldersLoaded = true;
    std::optional<std::int64_t> last;
};

const std::string& Response() {
    static const std::string text = SessionResponse();
    return text;
}

void BM_SessionCycleOverLoopback(benchmark::State& state) {
    httplib::Server server;
    server.Options("/service/soap", [](const httplib::Request&, httplib::Response&) {});
    server.Post("/service/soap", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Response(), "application/soap+xml; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::yield();

    Client client;
    client.session.sHost = "127.0.0.1:" + std::to_string(port);
    SoapTransport transport{*client.http, client.clock, client.zone, client.system, client.log};
    SoapAccount account{client.session, false, "demo", [] {}};
    for (auto _ : state) {
        const std::string envelope = BuildSessionBatch(client.session, 1796543475);
        const std::string response = SendSoap(envelope, transport, account);
        if (!client.Process(response)) state.SkipWithError(client.session.sLastError.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Response().size()));
    server.stop();
    serving.join();
}
BENCHMARK(BM_SessionCycleOverLoopback)->Unit(benchmark::kMicrosecond);

void BM_ProcessResponse(benchmark::State& state) {
    Client client;
    for (auto _ : state) benchmark::DoNotOptimize(client.Process(Response()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Response().size()));
}
BENCHMARK(BM_ProcessResponse)->Unit(benchmark::kMicrosecond);

void BM_ProcessResponse_BareParse(benchmark::State& state) {
    bench::BareParse(state, Response());
}
BENCHMARK(BM_ProcessResponse_BareParse)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tovela

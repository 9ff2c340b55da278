// tovela-fake-server: a scripted stand-in for the groupware server, on 127.0.0.1 only.

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "AdminApi.h"
#include "RequestLog.h"
#include "ServerState.h"
#include "ServiceRoutes.h"
#include "StopSignal.h"
#include "UploadLookup.h"
#include "UploadService.h"

namespace fs = std::filesystem;
using namespace tovela::fakeserver;

namespace {

constexpr const char* kHost = "127.0.0.1";

struct Options {
    int port = 0;
    std::string portFile;
    std::string scenarioFile;
    std::string logFile;
};

const char* kUsage =
    "usage: tovela-fake-server [--port N] [--port-file FILE] [--scenario FILE.json] [--log FILE]\n"
    "  --port N         port on 127.0.0.1; 0 (the default) picks a free one\n"
    "  --port-file F    write the chosen port to F once the server listens\n"
    "  --scenario F     the account, preferences and mailbox to serve (JSON)\n"
    "  --log F          append every request outside /admin/ to F, one JSON object a line\n";

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return false;  // no error: usage only
        std::string* text = arg == "--port-file"  ? &options.portFile
                            : arg == "--scenario" ? &options.scenarioFile
                            : arg == "--log"      ? &options.logFile
                                                  : nullptr;
        if (!text && arg != "--port") {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + arg;
            return false;
        }
        const std::string value = argv[++i];
        if (text) {
            *text = value;
            continue;
        }
        char* end = nullptr;
        const long port = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
            error = "bad port " + value;
            return false;
        }
        options.port = static_cast<int>(port);
    }
    return true;
}

std::optional<Scenario> LoadScenario(const std::string& file, std::string& error) {
    if (file.empty()) return Scenario{};
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read the scenario " + file;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const nlohmann::json json = nlohmann::json::parse(text.str(), nullptr, false);
    if (json.is_discarded()) {
        error = file + " is not JSON";
        return std::nullopt;
    }
    std::optional<Scenario> scenario = ParseScenario(json, error);
    if (!scenario) error = file + ": " + error;
    return scenario;
}

// Written under another name and renamed, so a reader never sees half a port number.
bool WritePortFile(const std::string& file, int port) {
    const std::string partial = file + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << port << '\n';
        if (!out.flush()) return false;
    }
    std::error_code ec;
    fs::rename(partial, file, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        if (error.empty()) {
            std::cout << kUsage;
            return 0;
        }
        std::cerr << "tovela-fake-server: " << error << '\n' << kUsage;
        return 2;
    }
    std::optional<Scenario> scenario = LoadScenario(options.scenarioFile, error);
    RequestLog log;
    if (!scenario || !log.Open(options.logFile, error)) {
        std::cerr << "tovela-fake-server: " << error << '\n';
        return 2;
    }

    // SIGINT and SIGTERM are taken by sigwait below; every thread started from here on
    // inherits the blocked mask, so no request thread is interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ServerState state(std::move(*scenario));
    StopSignal stop;
    httplib::Server server;
    // Short keep-alive: an idle client connection would otherwise hold up the shutdown.
    server.set_keep_alive_timeout(1);
    UploadStore uploads;
    // Messages and briefcase documents name the uploads they carry.
    ConnectUploadStore(&uploads);
    AddUploadAdminRoutes(server, uploads);
    AddAdminRoutes(server, state, log, [] { kill(getpid(), SIGTERM); });
    AddUploadRoutes(server, state, log, stop, uploads);
    AddServiceRoutes(server, state, log, stop);

    const int port = options.port == 0
                         ? server.bind_to_any_port(kHost)
                         : (server.bind_to_port(kHost, options.port) ? options.port : -1);
    if (port <= 0) {
        std::cerr << "tovela-fake-server: cannot listen on " << kHost << ":" << options.port
                  << '\n';
        return 1;
    }
    // The port is announced once the server runs: a stop asked for earlier would be lost.
    std::atomic<bool> listenerEnded = false;
    std::thread listener([&] {
        server.listen_after_bind();
        listenerEnded = true;
    });
    while (!server.is_running() && !listenerEnded) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (listenerEnded) {
        listener.join();
        std::cerr << "tovela-fake-server: the server did not start\n";
        return 1;
    }
    std::cout << "listening " << kHost << ":" << port << std::endl;
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::cerr << "tovela-fake-server: cannot write " << options.portFile << '\n';
        server.stop();
        listener.join();
        return 1;
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    stop.Raise();
    server.stop();
    listener.join();
    return 0;
}

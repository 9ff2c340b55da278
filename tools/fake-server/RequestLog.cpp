#include "RequestLog.h"

#include <cstdio>
#include <ctime>

namespace tovela::fakeserver {

using nlohmann::json;

namespace {

// Addresses that the HTTP library files among the headers; the client never sent them.
bool IsConnectionDetail(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

std::string UtcTime(std::chrono::system_clock::time_point when) {
    const auto seconds = std::chrono::time_point_cast<std::chrono::seconds>(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when - seconds).count();
    const std::time_t t = std::chrono::system_clock::to_time_t(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char withMillis[48];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03dZ", text, static_cast<int>(millis));
    return withMillis;
}

}  // namespace

std::string DumpJson(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool RequestLog::Open(const std::string& path, std::string& error) {
    if (path.empty()) return true;
    file_.open(path, std::ios::app | std::ios::binary);
    if (!file_) error = "cannot open the request log " + path;
    return static_cast<bool>(file_);
}

void RequestLog::Record(const httplib::Request& request, int status,
                        std::chrono::system_clock::time_point received) {
    json headers = json::object();
    for (const auto& [name, value] : request.headers) {
        if (IsConnectionDetail(name)) continue;
        // Repeated headers are joined, as HTTP allows.
        const bool repeated = headers.contains(name);
        std::string text = repeated ? headers[name].get<std::string>() + ", " + value : value;
        headers[name] = std::move(text);
    }
    json entry = {{"time", UtcTime(received)}, {"method", request.method}, {"path", request.path},
                  {"target", request.target},  {"headers", headers},       {"body", request.body},
                  {"status", status}};
    std::lock_guard lock(mutex_);
    if (file_.is_open()) {
        file_ << DumpJson(entry) << '\n';
        file_.flush();
    }
    entries_.push_back(std::move(entry));
}

json RequestLog::Entries() const {
    std::lock_guard lock(mutex_);
    return json(entries_);
}

void RequestLog::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace tovela::fakeserver

#pragma once

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tovela::fakeserver {

// Every request the server received on its service paths, kept in memory for the admin
// interface and appended to a file as one JSON object per line, flushed per line so a test
// can read it while the server runs. Admin requests are not recorded.
class RequestLog {
public:
    // An empty path keeps the log in memory only.
    bool Open(const std::string& path, std::string& error);

    void Record(const httplib::Request& request, int status,
                std::chrono::system_clock::time_point received);
    nlohmann::json Entries() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::ofstream file_;
    std::vector<nlohmann::json> entries_;
};

// Dumps JSON for the wire; request bodies need not be UTF-8, so bad bytes become U+FFFD.
std::string DumpJson(const nlohmann::json& json);

}  // namespace tovela::fakeserver

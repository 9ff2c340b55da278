#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Mailbox.h"

namespace tovela::fakeserver {

struct Account {
    std::string user = "demo";
    std::string password = "demo";
    std::string id = "0d6f3a52-5c1e-4b7a-9e21-6a4d1c0f0001";
    std::string name = "demo@example.test";
};

struct Signature {
    std::string id;
    std::string name;
    std::string type;  // content type; empty leaves the attribute out
    std::string content;
};

// A missing limit leaves its attribute out of GetInfoResponse. Kept as text so a scenario
// can also hand the client values that are not numbers.
struct Limits {
    std::optional<std::string> attSizeLimit;
    std::optional<std::string> docSizeLimit;
};

// Everything the server knows about its one account. Values the client only passes on
// (tokens, change tokens, lifetimes) are text, as the client keeps them.
struct Scenario {
    Account account;
    std::string version = "8.8.15_GA";
    std::string lifetimeMs = "172800000";
    std::string changeToken = "1";
    std::map<std::string, std::string> prefs;
    std::map<std::string, std::string> attrs{{"tovelaFeatureBriefcasesEnabled", "TRUE"}};
    std::vector<Signature> signatures;
    Limits limits;
    // Mailbox content in the canonical shape of Mailbox.h. The admin interface changes it
    // while the server runs.
    nlohmann::json folders = DefaultFolders();
    nlohmann::json tags = nlohmann::json::array();
    nlohmann::json messages = nlohmann::json::array();
    nlohmann::json appointments = nlohmann::json::array();
};

nlohmann::json ToJson(const Scenario& scenario);

// Reads a scenario; fields left out keep their defaults, unknown fields are refused so a
// misspelt name does not go unnoticed. Empty result and `error` set on failure.
std::optional<Scenario> ParseScenario(const nlohmann::json& json, std::string& error);

// Applies a JSON merge patch (objects merge, null removes a field back to its default).
std::optional<Scenario> MergeScenario(const Scenario& scenario, const nlohmann::json& patch,
                                      std::string& error);

// The version's leading number, read the way the client reads it ("6.0.10_GA" gives 6).
double LeadingNumber(const std::string& text);

}  // namespace tovela::fakeserver

#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/SettingsStore.h"

namespace tovela::testing {

// An in-memory settings area that also remembers the order of writes.
class FakeSettingsStore final : public SettingsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                          std::string_view key) override {
        auto it = values.find(Key{app, section, key});
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) override {
        values[Key{app, section, key}] = std::string(value);
        writes.emplace_back(key);
    }

    // Shorthand for the program's own application and section.
    void Put(const std::string& key, const std::string& value) {
        values[Key{"NotificadorTovela", "Settings", key}] = value;
    }
    std::optional<std::string> Value(const std::string& key) const {
        auto it = values.find(Key{"NotificadorTovela", "Settings", key});
        if (it == values.end()) return std::nullopt;
        return it->second;
    }

    std::map<Key, std::string> values;
    std::vector<std::string> writes;  // keys in the order they were saved
};

}  // namespace tovela::testing

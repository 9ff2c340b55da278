#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace tovela::fakeserver {

// Thrown while reading scenario and script JSON; caught where the JSON enters the program.
struct FieldError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Values the client treats as text may be written as JSON strings, numbers or booleans.
inline std::string TextField(const nlohmann::json& value, const std::string& where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number() || value.is_boolean()) return value.dump();
    throw FieldError(where + " must be text or a number");
}

inline void RequireObject(const nlohmann::json& value, const std::string& where) {
    if (!value.is_object()) throw FieldError(where + " must be an object");
}

// Refuses fields outside `known`, so a misspelt name fails loudly instead of being ignored.
inline void OnlyKnownFields(const nlohmann::json& object, std::initializer_list<const char*> known,
                            const std::string& where) {
    RequireObject(object, where);
    for (const auto& [key, value] : object.items()) {
        bool found = false;
        for (const char* name : known) found = found || key == name;
        if (!found) throw FieldError("unknown field '" + key + "' in " + where);
    }
}

}  // namespace tovela::fakeserver

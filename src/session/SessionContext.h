#pragma once

#include <cstdint>
#include <string>

namespace tovela {

// What the envelopes carry from one exchange to the next; empty at start.
struct SessionContext {
    std::string sHost;
    std::string sAuthToken;
    std::string sSessionId;
    std::string sNotifySeq;
    std::string sChangeToken;
    std::string sServerVersion;
    std::string sSessionTag;
    std::int64_t dEpochLocal = 0;  // the Unix epoch on the local wall clock, in local seconds
    bool bOptionsProbed = false;
    std::string sLastError;
};

}  // namespace tovela

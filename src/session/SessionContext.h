#pragma once

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
    double dEpochLocal = 0;  // the Unix epoch in local time, as an OLE date (days since 1899-12-30)
    bool bOptionsProbed = false;
    std::string sLastError;
};

}  // namespace tovela

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DesktopWindows.h"

namespace tovela {

// What the webmail address is made of.
struct WebmailRequest {
    std::string sTo;  // compose to these addresses (further mailto: fields joined by "&")
    bool secure = false;
    bool webmailLogin = false;  // open it logged in with the program's session
    std::string sHost;
    std::string sAuthToken;
    std::string sServerVersion;
};

struct WebmailAddress {
    std::string url;
    // The browser takes over the program's session: the program must log in anew.
    bool handsOverSession = false;
};

// The address to open: the logged-in entry or the plain page by server version, the
// compose view when there are addresses.
WebmailAddress BuildWebmailAddress(const WebmailRequest& request);

// A mailto: payload as a second start handed it over, without the line breaks and other
// control characters that have no place in an address.
std::string AddressesFromCommandLine(std::string_view payload);

// A browser window that shows webmail (its title, or a tab's, says "Tovela:"), or 0.
std::uintptr_t FindWebmailWindow(DesktopWindows& windows);

}  // namespace tovela

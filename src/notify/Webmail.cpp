#include "notify/Webmail.h"

#include <array>

#include "session/LeadingNumber.h"
#include "settings/AsciiText.h"

namespace tovela {
namespace {

constexpr std::string_view kMarker = "Tovela:";

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Inside the redirect the compose request is itself part of a query value.
std::string EncodeInRedirect(std::string text) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kEscapes = {{
        {"%", "%25"},
        {"#", "%23"},
        {"?", "%3F"},
        {"&", "%26"},
        {" ", "%20"},
        {"/", "%2F"},
        {":", "%3A"},
        {"\\", "%5C"},
        {"+", "%2B"},
    }};
    for (const auto& [from, to] : kEscapes) text = ReplaceAll(std::move(text), from, to);
    return text;
}

// The server build of an 8.6 version text ("8.6.0_GA_1153": characters 10 to 13).
double BuildNumber(std::string_view version) {
    return version.size() < 10 ? 0 : LeadingNumber(version.substr(9, 4));
}

bool TitleHasMarker(DesktopWindows& windows, std::uintptr_t window) {
    const std::string title = windows.WindowText(window);
    return !title.empty() && title.find(kMarker) != std::string::npos;
}

bool ClassContains(DesktopWindows& windows, std::uintptr_t window, std::string_view text) {
    return windows.ClassName(window).find(text) != std::string::npos;
}

// A browser whose tabs are child windows: the frame, or the tab that shows webmail.
std::uintptr_t WebmailInChildren(DesktopWindows& windows, std::uintptr_t frame) {
    if (TitleHasMarker(windows, frame)) return frame;
    for (std::uintptr_t child = windows.NextWindow(frame, 0, ""); child != 0;
         child = windows.NextWindow(frame, child, "")) {
        if (TitleHasMarker(windows, child)) {
            return ClassContains(windows, child, "TabWindowClass") ? frame : child;
        }
        if (ClassContains(windows, child, "Frame Tab")) {
            for (std::uintptr_t tab = windows.NextWindow(child, 0, ""); tab != 0;
                 tab = windows.NextWindow(child, tab, "")) {
                if (TitleHasMarker(windows, tab)) return frame;
            }
        }
    }
    return 0;
}

}  // namespace

WebmailAddress BuildWebmailAddress(const WebmailRequest& r) {
    const std::string scheme = r.secure ? "https://" : "http://";
    const double version = LeadingNumber(r.sServerVersion);
    std::string path;
    if (r.webmailLogin) {
        const std::string preauth = "/service/preauth?isredirect=1&authtoken=" + r.sAuthToken;
        if (r.sServerVersion.compare(0, 13, "7.1.4_GA_2555") == 0) {
            path = preauth + "&redirectURL=/tovela/mail";
        } else if (version < 8) {
            path = preauth + "&redirectURL=" + scheme + r.sHost + "/tovela/mail";
        } else if (version < 10) {
            path = preauth + "&redirectURL=" + scheme + r.sHost + "/";
        } else {
            path = "/service/preauth?authtoken=" + r.sAuthToken;
        }
    } else {
        path = version < 8 ? "/tovela/mail" : "/";
    }
    WebmailAddress address;
    address.handsOverSession =
        r.webmailLogin &&
        (version >= 10 || (version == 8.6 && BuildNumber(r.sServerVersion) < 1182));
    address.url = scheme + r.sHost + path;
    if (!r.sTo.empty()) {
        address.url += r.webmailLogin ? "%3Fview=compose%26to=" + EncodeInRedirect(r.sTo)
                                      : "?view=compose&to=" + r.sTo;
    }
    return address;
}

std::string AddressesFromCommandLine(std::string_view payload) {
    std::string out;
    out.reserve(payload.size());
    for (const char c : payload) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) out.push_back(c);
    }
    return out;
}

std::uintptr_t FindWebmailWindow(DesktopWindows& windows) {
    // Older browsers show the page title on the frame only; the others on a tab window.
    struct Browser {
        const char* className;
        bool titleOnly;
    };
    static constexpr std::array<Browser, 6> kBrowsers = {{
        {"Chrome_WindowImpl_0", false},
        {"Chrome_WidgetWin_0", false},
        {"MozillaUIWindowClass", true},
        {"IEFrame", false},
        {"MozillaWindowClass", true},
        {"Chrome_WidgetWin_1", false},
    }};
    for (std::size_t index = 0; index < kBrowsers.size(); ++index) {
        const Browser& browser = kBrowsers[index];
        for (std::uintptr_t w = windows.NextWindow(0, 0, browser.className); w != 0;
             w = windows.NextWindow(0, w, browser.className)) {
            if (browser.titleOnly) {
                if (TitleHasMarker(windows, w)) return w;
                continue;
            }
            if (windows.FirstChild(w) != 0) {
                if (std::uintptr_t found = WebmailInChildren(windows, w)) return found;
            } else if (index == 5 && TitleHasMarker(windows, w)) {
                // Newer Chrome draws its tabs itself: the frame's title is the page's.
                return w;
            }
        }
    }
    return 0;
}

}  // namespace tovela

#include "submit/MessageBridge.h"

#include <cstdint>
#include <vector>

#include "session/LeadingNumber.h"
#include "settings/AsciiText.h"
#include "submit/MapiMessageMarkers.h"

namespace tovela {

std::string GetMapiField(std::string_view message, std::size_t index) {
    if (index >= kMapiMarkers.size()) return {};
    const std::size_t start = message.find(kMapiMarkers[index]);
    if (start == std::string_view::npos) return {};
    // The sections are expected in marker order: the first later marker found ends this
    // one, even when another one stands nearer.
    std::size_t end = message.size();
    for (std::size_t next = index + 1; next < kMapiMarkers.size(); ++next) {
        const std::size_t at = message.find(kMapiMarkers[next], start);
        if (at != std::string_view::npos) {
            end = at;
            break;
        }
    }
    const std::size_t from = start + kMapiMarkerLength;
    if (from >= end) return {};
    return std::string(TrimBlanks(message.substr(from, end - from)));
}

BridgedMessage ParseMapiMessage(std::string_view message) {
    BridgedMessage m;
    const std::size_t attachments = message.find(kMapiMarkers[6]);
    if (attachments != std::string_view::npos) {
        // path|name|path|name...: items as they are; a pair with a blank path is skipped.
        std::vector<std::string_view> items;
        std::string_view rest = message.substr(attachments + kMapiMarkerLength);
        for (std::size_t bar = rest.find('|'); bar != std::string_view::npos;
             bar = rest.find('|')) {
            items.push_back(rest.substr(0, bar));
            rest.remove_prefix(bar + 1);
        }
        items.push_back(rest);
        for (std::size_t i = 0; i < items.size(); i += 2) {
            if (TrimBlanks(items[i]).empty()) continue;
            const std::string_view name = i + 1 < items.size() ? items[i + 1] : std::string_view();
            m.sFiles += "\"" + std::string(items[i]) + "\" ";
            m.sFileNames += "\"" + std::string(name) + "\" ";
        }
        m.sFiles = std::string(TrimBlanks(m.sFiles));
        m.sFileNames = std::string(TrimBlanks(m.sFileNames));
    }
    m.sFromName = GetMapiField(message, 0);
    m.sFromAddr = GetMapiField(message, 1);
    m.sRecipients = GetMapiField(message, 2);
    m.sMapiFlags = GetMapiField(message, 3);
    m.sSubject = GetMapiField(message, 4);
    m.sBody = GetMapiField(message, 5);
    return m;
}

bool AsksForDialog(std::string_view sMapiFlags) {
    if (sMapiFlags.size() < 3) return false;
    const double number = LeadingNumber(sMapiFlags.substr(1, sMapiFlags.size() - 2));
    if (!(number >= 0 && number < 4294967296.0)) return false;
    return (static_cast<std::uint32_t>(number) & kMapiDialogFlag) != 0;
}

}  // namespace tovela

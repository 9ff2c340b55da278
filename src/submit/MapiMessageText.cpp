#include "submit/MapiMessageText.h"

#include <algorithm>

#include "submit/MapiMessageMarkers.h"

namespace tovela {
namespace {

constexpr std::string_view kFullwidthVerticalLine = "\xEF\xBD\x9C";  // U+FF5C
constexpr std::string_view kFullwidthQuote = "\xEF\xBC\x82";         // U+FF02

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos)) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

char SwapCase(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    return c;
}

// Every marker has letters, so turning their case round leaves a text the reader's exact
// comparison never matches; a marker holds one "{" only, so no new one can appear.
std::string Value(std::string_view raw) {
    std::string text(raw);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    for (std::string_view marker : kMapiMarkers) {
        for (auto pos = text.find(marker); pos != std::string::npos; pos = text.find(marker, pos)) {
            std::transform(text.begin() + static_cast<std::ptrdiff_t>(pos),
                           text.begin() + static_cast<std::ptrdiff_t>(pos + marker.size()),
                           text.begin() + static_cast<std::ptrdiff_t>(pos), SwapCase);
            pos += marker.size();
        }
    }
    return text;
}

std::string ListItem(std::string_view raw) {
    std::string text = Value(raw);
    ReplaceAll(text, "|", kFullwidthVerticalLine);
    return text;
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

void AppendPair(std::string& list, const std::string& first, const std::string& second) {
    if (!list.empty()) list += '|';
    list += first;
    list += '|';
    list += second;
}

}  // namespace

std::string_view PathFileName(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string MapiMessageText(const MapiMessageFields& message) {
    std::uint32_t flags = message.flags;
    std::string recipients;
    for (const auto& r : message.recipients) {
        if (IsBlank(r.name) && IsBlank(r.address)) continue;
        if (r.kind == MapiRecipientKind::Bcc) flags |= kMapiDialogFlag;
        AppendPair(recipients, ListItem(r.name), ListItem(r.address));
    }
    std::string attachments;
    for (const auto& a : message.attachments) {
        if (IsBlank(a.path)) continue;
        std::string name = ListItem(IsBlank(a.name) ? PathFileName(a.path) : a.name);
        ReplaceAll(name, "\"", kFullwidthQuote);
        AppendPair(attachments, ListItem(a.path), name);
    }

    // Built by appending: GCC 12 misreads "(" + text as an overlapping copy (bug 105329).
    std::string flagsText(1, '(');
    flagsText += std::to_string(flags);
    flagsText += ')';
    const std::string values[] = {
        Value(message.fromName), Value(message.fromAddress), recipients,  flagsText,
        Value(message.subject),  Value(message.body),        attachments,
    };
    std::string text;
    for (std::size_t i = 0; i < kMapiMarkers.size(); ++i) {
        text += kMapiMarkers[i];
        text += values[i];
    }
    return text;
}

std::string MapiMessagePayload(const MapiMessageFields& message) {
    return std::string(kUtf8ByteOrderMark) + MapiMessageText(message);
}

}  // namespace tovela

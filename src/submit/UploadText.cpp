#include "submit/UploadText.h"

#include "settings/AsciiText.h"
#include "submit/TextEncodings.h"

namespace tovela {
namespace {

// `value` / `unit` to one decimal, half to even, in exact integer arithmetic.
std::string Scaled(std::uint64_t value, std::uint64_t unit, std::string_view separator) {
    // value * 10 / unit without overflow: split value into whole units and the rest.
    std::uint64_t tenths = (value / unit) * 10 + (value % unit) * 10 / unit;
    const std::uint64_t remainder = (value % unit) * 10 % unit;
    const std::uint64_t half = unit / 2;
    if (remainder > half || (remainder == half && tenths % 2 == 1)) ++tenths;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) text.append(separator).append(std::to_string(tenths % 10));
    return text;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
    text = TrimBlanks(text);
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::string item;
    bool insideQuotes = false;
    for (char c : text) {
        if (c == '"') {
            insideQuotes = !insideQuotes;
        } else if (c == ' ' && !insideQuotes) {
            items.push_back(std::move(item));
            item.clear();
        } else {
            item += c;
        }
    }
    items.push_back(std::move(item));
    return items;
}

std::string GetHeaderValue(std::string_view rawHeaders, std::string_view name) {
    std::size_t lineStart = 0;
    while (lineStart < rawHeaders.size()) {
        std::size_t lineEnd = rawHeaders.find("\r\n", lineStart);
        if (lineEnd == rawHeaders.npos) lineEnd = rawHeaders.size();
        const std::string_view line = rawHeaders.substr(lineStart, lineEnd - lineStart);
        const std::size_t colon = line.find(':');
        if (colon != line.npos && AsciiLower(std::string(TrimBlanks(line.substr(0, colon)))) ==
                                      AsciiLower(std::string(name))) {
            std::string_view value = line.substr(colon + 1);
            const std::size_t first = value.find_first_not_of(" \t");
            if (first == value.npos) return {};
            value = value.substr(first);
            return std::string(value.substr(0, value.find_last_not_of(" \t") + 1));
        }
        lineStart = lineEnd + 2;
    }
    return {};
}

std::string SizeText(std::uint64_t bytes, std::string_view decimalSeparator) {
    constexpr std::uint64_t kKiB = 1024;
    constexpr std::uint64_t kMiB = 1024 * 1024;
    if (bytes < kKiB) return std::to_string(bytes) + " B";
    if (bytes < kMiB) return Scaled(bytes, kKiB, decimalSeparator) + " KB";
    return Scaled(bytes, kMiB, decimalSeparator) + " MB";
}

}  // namespace tovela

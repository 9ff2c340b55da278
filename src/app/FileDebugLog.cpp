#include "app/FileDebugLog.h"

#include <array>
#include <fstream>
#include <system_error>

#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr std::string_view kMask = "********";

// Both maskings copy the text once, whatever its length: a long response line must not
// cost time in the square of its size.
void MaskAll(std::string& text, const std::string& secret) {
    if (secret.empty() || text.find(secret) == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t pos = text.find(secret); pos != std::string::npos;
         pos = text.find(secret, from)) {
        out.append(text, from, pos - from);
        out.append(kMask);
        from = pos + secret.size();
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

void MaskPasswordElements(std::string& xml) {
    constexpr std::string_view open = "<password>";
    constexpr std::string_view close = "</password>";
    if (xml.find(open) == std::string::npos) return;
    std::string out;
    out.reserve(xml.size());
    std::size_t from = 0;
    for (std::size_t pos = xml.find(open); pos != std::string::npos; pos = xml.find(open, from)) {
        const std::size_t start = pos + open.size();
        std::size_t end = xml.find(close, start);
        if (end == std::string::npos) end = xml.size();
        out.append(xml, from, start - from);
        out.append(kMask);
        from = end;
    }
    out.append(xml, from, std::string::npos);
    xml = std::move(out);
}

// One entry is one line: line breaks and other control bytes that came from elsewhere (a
// second start, another program's message) are written as escapes, so they cannot make
// lines of their own.
std::string OneLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out.push_back(c);
            continue;
        }
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    }
    return out;
}

// Lines that carry a whole envelope or command line as Base64 after a fixed head.
std::size_t Base64Start(std::string_view line) {
    for (std::string_view head : {std::string_view("*ECS: ("), std::string_view("*PS: (")}) {
        if (line.substr(0, head.size()) == head) {
            std::size_t colon = line.find("):", head.size());
            return colon == std::string_view::npos ? std::string_view::npos : colon + 2;
        }
    }
    constexpr std::string_view commandLine = "Commandline: ";
    if (line.substr(0, commandLine.size()) == commandLine) return commandLine.size();
    return std::string_view::npos;
}

}  // namespace

FileDebugLog::FileDebugLog(std::filesystem::path file, std::function<std::string()> currentPassword)
    : file_(std::move(file)), currentPassword_(std::move(currentPassword)) {}

std::string FileDebugLog::Redact(std::string_view line) const {
    const std::string secret = currentPassword_ ? currentPassword_() : std::string();
    std::string out(line);
    std::size_t start = Base64Start(line);
    if (start != std::string_view::npos) {
        if (auto decoded = Base64Decode(line.substr(start))) {
            std::string text = std::move(*decoded);
            MaskPasswordElements(text);
            MaskAll(text, secret);
            out = std::string(line.substr(0, start)) + Base64Encode(text);
        }
    }
    MaskAll(out, secret);
    return OneLine(out);
}

void FileDebugLog::Write(std::string_view line) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec)) return;
    if (!restricted_) {
        // Lines carry whole server exchanges: keep them from other users of the machine,
        // however the file was made.
        std::filesystem::permissions(
            file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::replace, ec);
        restricted_ = true;
    }
    std::ofstream out(file_, std::ios::app | std::ios::binary);
    if (!out) return;
    out << Redact(line) << '\n';
}

}  // namespace tovela

#include "app/FileDebugLog.h"

#include <array>
#include <fstream>
#include <system_error>

#include "submit/TextEncodings.h"

namespace tovela {
namespace {

constexpr std::string_view kMask = "********";

void MaskAll(std::string& text, const std::string& secret) {
    if (secret.empty()) return;
    for (std::size_t pos = text.find(secret); pos != std::string::npos;
         pos = text.find(secret, pos + kMask.size())) {
        text.replace(pos, secret.size(), kMask);
    }
}

void MaskPasswordElements(std::string& xml) {
    constexpr std::string_view open = "<password>";
    constexpr std::string_view close = "</password>";
    for (std::size_t pos = xml.find(open); pos != std::string::npos; pos = xml.find(open, pos)) {
        std::size_t start = pos + open.size();
        std::size_t end = xml.find(close, start);
        if (end == std::string::npos) end = xml.size();
        xml.replace(start, end - start, kMask);
        pos = start + kMask.size();
    }
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
    return out;
}

void FileDebugLog::Write(std::string_view line) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec)) return;
    std::ofstream out(file_, std::ios::app | std::ios::binary);
    if (!out) return;
    out << Redact(line) << '\n';
}

}  // namespace tovela

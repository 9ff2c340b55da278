#include "app/CommandLine.h"

#include "submit/TextEncodings.h"
#include "submit/Utf16.h"

namespace tovela {
namespace {

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

bool StartsWithSettingsSwitch(std::string_view commandLine) {
    return AsciiLower(LeftUtf16(commandLine, 9)) == "/settings";
}

// Files for an upload: Windows paths (any backslash), the briefcase switch, or a Linux
// path ("/home/taro/a.pdf", quoted when it holds blanks), which a Windows command line
// never starts with.
bool IsFileList(std::string_view commandLine) {
    if (commandLine.find('\\') != std::string_view::npos) return true;
    if (AsciiLower(LeftUtf16(commandLine, 10)) == "/briefcase") return true;
    std::string_view first = commandLine;
    if (!first.empty() && first.front() == '"') first.remove_prefix(1);
    first = first.substr(0, first.find_first_of(" \""));
    return first.size() > 1 && first.front() == '/' && first.find('/', 1) != std::string_view::npos;
}

}  // namespace

ForwardedRequest BuildForwardedRequest(std::string_view commandLine, DebugLog& log) {
    ForwardedRequest request;
    if (commandLine.empty()) return request;

    const bool files = IsFileList(commandLine);
    std::string text = ReplaceAll(std::string(commandLine), "mailto:", "");
    text = ReplaceAll(std::move(text), "?", "&");
    // Quotes protect blanks in file paths; a mailto: link or a switch does not need them.
    if (!files) text = ReplaceAll(std::move(text), "\"", "");

    request.payload = Base64Encode(text);
    log.Write("Commandline: " + *request.payload);

    if (files) {
        request.kind = RequestKind::Upload;
    } else if (StartsWithSettingsSwitch(commandLine)) {
        request.kind = RequestKind::Settings;
    } else {
        request.kind = RequestKind::Abre;
    }
    return request;
}

}  // namespace tovela

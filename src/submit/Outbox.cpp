#include "submit/Outbox.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "submit/PathNames.h"
#include "submit/UploadText.h"

namespace tovela {
namespace {

constexpr const char* kItemFile = "item.txt";
constexpr std::size_t kCopyBuffer = 256 * 1024;

// One value a line: backslash, CR and LF escaped.
std::string Escape(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string Unescape(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out.push_back(next == 'r' ? '\r' : next == 'n' ? '\n' : next);
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

struct Field {
    const char* key;
    std::string BridgedMessage::*member;
};
constexpr std::array<Field, 8> kFields = {{
    {"files", &BridgedMessage::sFiles},
    {"names", &BridgedMessage::sFileNames},
    {"fromAddr", &BridgedMessage::sFromAddr},
    {"fromName", &BridgedMessage::sFromName},
    {"recipients", &BridgedMessage::sRecipients},
    {"subject", &BridgedMessage::sSubject},
    {"body", &BridgedMessage::sBody},
    {"flags", &BridgedMessage::sMapiFlags},
}};

bool CopyFile(FileSystem& files, const std::string& from, const std::string& to) {
    auto reader = files.OpenForReading(from);
    auto writer = reader ? files.CreateForWriting(to) : nullptr;
    if (!writer) return false;
    std::string buffer(kCopyBuffer, '\0');
    while (true) {
        const auto n = reader->Read(std::span<char>(buffer.data(), buffer.size()));
        if (!n) break;
        if (*n == 0) return writer->Close();
        if (!writer->Write(std::string_view(buffer.data(), *n))) break;
    }
    writer->Close();
    files.RemoveFile(to);
    return false;
}

}  // namespace

std::vector<std::string> Outbox::ItemFolders() {
    std::vector<std::string> names;
    if (auto list = files_.ListFolder(folder_)) {
        for (const FolderEntry& entry : *list) {
            if (entry.info.folder) names.push_back(entry.name);
        }
    }
    // Names are zero-padded numbers: their order is the order of arrival.
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> Outbox::NewItemFolder() {
    if (!files_.CreateFolder(folder_)) return std::nullopt;
    const std::vector<std::string> names = ItemFolders();
    unsigned long long next = 1;
    if (!names.empty()) next = std::strtoull(names.back().c_str(), nullptr, 10) + 1;
    char name[32];
    std::snprintf(name, sizeof name, "%010llu", next);
    const std::string folder = JoinPath(folder_, name);
    if (!files_.CreateFolder(folder)) return std::nullopt;
    return folder;
}

bool Outbox::Write(const std::string& folder, const Item& item) {
    auto writer = files_.CreateForWriting(JoinPath(folder, kItemFile));
    if (!writer) return false;
    std::string text = std::string("kind=") + (item.kind == Kind::Message ? "message" : "files") +
                       "\nattempts=" + std::to_string(item.attempts) + "\n";
    for (const Field& field : kFields) {
        text += std::string(field.key) + "=" + Escape(item.message.*field.member) + "\n";
    }
    return writer->Write(text) && writer->Close();
}

bool Outbox::KeepMessage(const BridgedMessage& message) {
    const auto folder = NewItemFolder();
    if (!folder) return false;
    Item item{*folder, Kind::Message, message, 0};
    // Each attachment is copied; one that cannot be copied keeps its own path, so the
    // upload reports it as it would have.
    std::string copies;
    int index = 0;
    for (const std::string& path : SplitCommandLine(message.sFiles)) {
        std::string kept = path;
        const auto info = files_.QueryAttributes(path);
        if (info && !info->folder) {
            const std::string copy =
                JoinPath(*folder, std::to_string(++index) + "-" + FileNameFromPath(path));
            if (CopyFile(files_, path, copy)) kept = copy;
        }
        copies += "\"" + kept + "\" ";
    }
    item.message.sFiles = copies.empty() ? std::string() : copies.substr(0, copies.size() - 1);
    if (Write(*folder, item)) return true;
    Remove(item);
    return false;
}

bool Outbox::KeepFiles(const std::string& commandLine) {
    const auto folder = NewItemFolder();
    if (!folder) return false;
    Item item{*folder, Kind::Files, {}, 0};
    item.message.sFiles = commandLine;
    if (Write(*folder, item)) return true;
    Remove(item);
    return false;
}

std::optional<Outbox::Item> Outbox::Read(const std::string& folder) {
    auto reader = files_.OpenForReading(JoinPath(folder, kItemFile));
    if (!reader) return std::nullopt;
    std::string text;
    std::string buffer(64 * 1024, '\0');
    while (true) {
        const auto n = reader->Read(std::span<char>(buffer.data(), buffer.size()));
        if (!n) return std::nullopt;
        if (*n == 0) break;
        text.append(buffer.data(), *n);
    }
    Item item;
    item.folder = folder;
    bool known = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value = Unescape(line.substr(equals + 1));
        if (key == "kind") {
            known = value == "message" || value == "files";
            item.kind = value == "files" ? Kind::Files : Kind::Message;
        } else if (key == "attempts") {
            item.attempts = std::atoi(value.c_str());
        }
        for (const Field& field : kFields) {
            if (key == field.key) item.message.*field.member = value;
        }
    }
    if (!known) return std::nullopt;
    return item;
}

std::optional<Outbox::Item> Outbox::Oldest() {
    for (const std::string& name : ItemFolders()) {
        const std::string folder = JoinPath(folder_, name);
        if (auto item = Read(folder)) return item;
        // Left half written by a program that ended while keeping it: nothing to send.
        Remove(Item{folder, Kind::Message, {}, 0});
    }
    return std::nullopt;
}

std::size_t Outbox::Count() {
    return ItemFolders().size();
}

void Outbox::Attempted(Item& item) {
    ++item.attempts;
    Write(item.folder, item);
}

void Outbox::Remove(const Item& item) {
    if (auto list = files_.ListFolder(item.folder)) {
        for (const FolderEntry& entry : *list) files_.RemoveFile(JoinPath(item.folder, entry.name));
    }
    files_.RemoveFolder(item.folder);
}

}  // namespace tovela

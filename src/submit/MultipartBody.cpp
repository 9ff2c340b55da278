#include "submit/MultipartBody.h"

#include <algorithm>
#include <cstring>

#include "app/Version.h"

namespace tovela {
namespace {

// A line break would end the header early and let the value write headers of its own.
std::string OneLine(std::string_view value) {
    std::string line(value);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

std::string Delimiter() {
    return "--" + std::string(kUploadBoundary) + "\r\n";
}

std::string Field(std::string_view disposition, std::string_view value) {
    return Delimiter() + "Content-Disposition: form-data; " + std::string(disposition) +
           "\r\n\r\n" + std::string(value) + "\r\n";
}

std::string AgentName() {
    std::string title = kAppTitle;
    title.erase(std::remove(title.begin(), title.end(), ' '), title.end());
    return title;
}

}  // namespace

std::string UploadHeaderBlock(std::string_view serverName, std::string_view token,
                              std::uint64_t contentLength) {
    return "Accept-Language: en-us\r\n"
           "Content-Type: multipart/form-data; boundary=" +
           std::string(kUploadBoundary) + "\r\nUser-Agent: " + AgentName() + "/" +
           std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision) + " (Windows)\r\nHost: " + OneLine(serverName) +
           "\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\nConnection: Close\r\nCookie: TV_TEST=true; TV_AUTH_TOKEN=" + OneLine(token) +
           "\r\n";
}

MultipartBody::MultipartBody(std::vector<UploadFile> files) : files_(std::move(files)) {
    pieces_.push_back({Field("name=\"_charset_\"", "UTF-8")});
    for (std::size_t i = 0; i < files_.size(); ++i) {
        UploadFile& file = files_[i];
        // A quote would end the name early in the part's header.
        std::string name = OneLine(file.fileName);
        std::replace(name.begin(), name.end(), '"', '_');
        const std::string n = std::to_string(i + 1);
        pieces_.push_back({Field("name=\"filename" + n + "\"", name) + Delimiter() +
                           "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"" +
                           name + "\"\r\n\r\n"});
        pieces_.push_back({{}, &file});
        pieces_.push_back({"\r\n" + Field("name=\"requestId\"", n)});
    }
    pieces_.push_back({"--" + std::string(kUploadBoundary) + "--\r\n\r\n"});
    for (const Piece& piece : pieces_) size_ += piece.file ? piece.file->size : piece.text.size();
}

std::optional<std::size_t> MultipartBody::Read(std::span<char> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size() && piece_ < pieces_.size()) {
        Piece& piece = pieces_[piece_];
        const std::span<char> rest = buffer.subspan(filled);
        std::size_t count = 0;
        bool ended = false;
        if (piece.file) {
            const std::optional<std::size_t> read = ReadFilePiece(*piece.file, rest);
            if (!read) return std::nullopt;
            count = *read;
            ended = offset_ + count == piece.file->size;
        } else {
            count = static_cast<std::size_t>(
                std::min<std::uint64_t>(rest.size(), piece.text.size() - offset_));
            std::memcpy(rest.data(), piece.text.data() + offset_, count);
            ended = offset_ + count == piece.text.size();
        }
        filled += count;
        offset_ += count;
        if (ended) {
            ++piece_;
            offset_ = 0;
        }
    }
    sent_.fetch_add(filled, std::memory_order_relaxed);
    return filled;
}

std::optional<std::size_t> MultipartBody::ReadFilePiece(UploadFile& file, std::span<char> buffer) {
    const std::uint64_t left = file.size - offset_;
    if (left == 0) {
        // The whole length was read: the file must end here too.
        char extra = 0;
        const std::optional<std::size_t> more = file.reader->Read(std::span<char>(&extra, 1));
        if (!more || *more != 0) return Fail(file);
        return 0;
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
    const std::optional<std::size_t> read = file.reader->Read(buffer.first(wanted));
    if (!read || *read == 0) return Fail(file);
    if (*read == left) {
        char extra = 0;
        const std::optional<std::size_t> more = file.reader->Read(std::span<char>(&extra, 1));
        if (!more || *more != 0) return Fail(file);
    }
    return read;
}

std::optional<std::size_t> MultipartBody::Fail(const UploadFile& file) {
    failedPath_ = file.path;
    return std::nullopt;
}

}  // namespace tovela

#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/UploadHttp.h"

namespace tovela {

inline constexpr std::string_view kUploadBoundary = "----TovelaNotifierPostBoundary";

// One file of an upload: its name as the server gets it and the open file.
struct UploadFile {
    std::string path;
    std::string fileName;
    std::uint64_t size = 0;
    std::unique_ptr<FileReader> reader;
};

// The header block of an upload request; the body's length is known before it is sent.
std::string UploadHeaderBlock(std::string_view serverName, std::string_view token,
                              std::uint64_t contentLength);

// The multipart/form-data body of an upload, read from the files while it is sent. A file
// that changes its length or cannot be read on the way fails the body, so the server never
// receives a body that does not match its Content-Length.
class MultipartBody final : public UploadBody {
public:
    explicit MultipartBody(std::vector<UploadFile> files);

    std::uint64_t Size() const override { return size_; }
    std::optional<std::size_t> Read(std::span<char> buffer) override;

    // Bytes handed out so far; read from any thread.
    std::uint64_t Sent() const { return sent_.load(std::memory_order_relaxed); }
    // After a failed Read: the file at fault.
    const std::string& FailedPath() const { return failedPath_; }

private:
    struct Piece {
        std::string text;
        UploadFile* file = nullptr;
    };

    std::optional<std::size_t> ReadFilePiece(UploadFile& file, std::span<char> buffer);
    std::optional<std::size_t> Fail(const UploadFile& file);

    std::vector<UploadFile> files_;
    std::vector<Piece> pieces_;
    std::uint64_t size_ = 0;
    std::size_t piece_ = 0;
    std::uint64_t offset_ = 0;  // within the current piece
    std::atomic<std::uint64_t> sent_ = 0;
    std::string failedPath_;
};

}  // namespace tovela

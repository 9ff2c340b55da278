#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tovela {

// Writes a zip archive to a file as it goes: each file entry is deflated while it is read
// and followed by a data descriptor, so no entry is ever held whole. ZIP64 records appear
// where a size, an offset or the number of entries needs them. Names are UTF-8 and flagged
// as such; attributes are the DOS ones (hidden, system, read-only, folder).
class ZipWriter {
public:
    enum class Error { None, Write, TooLarge, Compression };

    explicit ZipWriter(FileWriter& out);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A folder entry; the name ends with "/".
    bool AddFolder(std::string_view name, const FileInfo& info);
    // A file entry, whose bytes follow through AddData until EndFile. `info.size` is what the
    // file is expected to hold; it decides whether the entry is a ZIP64 one.
    bool BeginFile(std::string_view name, const FileInfo& info);
    bool AddData(std::span<const char> data);
    bool EndFile();
    // The central directory and the end records; the file is not closed.
    bool Finish();

    Error LastError() const { return error_; }
    std::uint64_t Entries() const { return entries_; }

private:
    struct Deflater;

    bool BeginEntry(std::string_view name, const FileInfo& info, bool folder);
    bool Deflate(std::span<const char> data, bool finish);
    bool Put(std::string_view bytes);
    bool Flush();
    bool Fail(Error error);

    FileWriter& out_;
    std::unique_ptr<Deflater> deflater_;
    std::string buffer_;            // bytes not yet handed to the file
    std::string centralDirectory_;  // one record per entry, written at the end
    std::uint64_t offset_ = 0;      // bytes of the archive so far, buffered ones included
    std::uint64_t entries_ = 0;
    Error error_ = Error::None;

    // The file entry being written.
    struct Entry {
        std::string name;
        std::uint64_t headerOffset = 0;
        std::uint64_t size = 0;
        std::uint64_t compressedSize = 0;
        std::uint32_t crc = 0;
        std::uint32_t dosTime = 0;
        std::uint32_t attributes = 0;
        bool zip64 = false;
        bool open = false;
    } entry_;
};

}  // namespace tovela

#include "submit/ZipWriter.h"

#include <zlib.h>

#include <algorithm>

namespace tovela {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kDataDescriptor = 0x08074b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kZip64End = 0x06064b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kEnd = 0x06054b50;

constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
constexpr std::uint16_t kMax16 = 0xFFFF;

// Deflate may grow incompressible data a little; a file this close to 4 GiB gets ZIP64
// records from the start, as its compressed size is only known at the end.
constexpr std::uint64_t kZip64Threshold = kMax32 - (kMax32 / 20);

constexpr std::size_t kFlushSize = 256 * 1024;
constexpr std::size_t kDeflateChunk = 64 * 1024;

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t Clamp32(std::uint64_t v) {
    return v >= kMax32 ? kMax32 : static_cast<std::uint32_t>(v);
}

// MS-DOS date and time: two-second steps, years 1980 to 2107.
std::uint32_t DosDateTime(const LocalDateTime& t) {
    if (t.year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00
    const auto year = static_cast<std::uint32_t>(std::min(t.year, 2107) - 1980);
    const auto date = (year << 9) | (static_cast<std::uint32_t>(t.month) << 5) |
                      static_cast<std::uint32_t>(t.day);
    const auto time = (static_cast<std::uint32_t>(t.hour) << 11) |
                      (static_cast<std::uint32_t>(t.minute) << 5) |
                      static_cast<std::uint32_t>(t.second / 2);
    return (date << 16) | time;
}

std::uint32_t DosAttributes(const FileInfo& info, bool folder) {
    std::uint32_t attributes = folder ? 0x10 : 0x20;
    if (info.readOnly) attributes |= 0x01;
    if (info.hidden) attributes |= 0x02;
    if (info.system) attributes |= 0x04;
    return attributes;
}

}  // namespace

struct ZipWriter::Deflater {
    z_stream stream{};
    bool ready = false;
    Deflater() {
        // Raw deflate, as zip entries carry no zlib header; level 1 keeps packing near the
        // speed of reading the disk.
        ready = deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready) deflateEnd(&stream);
    }
};

ZipWriter::ZipWriter(FileWriter& out) : out_(out), deflater_(std::make_unique<Deflater>()) {
    buffer_.reserve(kFlushSize + kDeflateChunk);
}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::Fail(Error error) {
    if (error_ == Error::None) error_ = error;
    return false;
}

bool ZipWriter::Put(std::string_view bytes) {
    buffer_.append(bytes);
    offset_ += bytes.size();
    return buffer_.size() < kFlushSize || Flush();
}

bool ZipWriter::Flush() {
    if (buffer_.empty()) return true;
    const bool written = out_.Write(buffer_);
    buffer_.clear();
    return written || Fail(Error::Write);
}

bool ZipWriter::BeginEntry(std::string_view name, const FileInfo& info, bool folder) {
    if (error_ != Error::None || entry_.open) return Fail(Error::Compression);
    entry_ = {};
    entry_.name = name;
    entry_.headerOffset = offset_;
    entry_.dosTime = DosDateTime(info.modified);
    entry_.attributes = DosAttributes(info, folder);
    entry_.zip64 = !folder && info.size >= kZip64Threshold;

    std::string header;
    Put32(header, kLocalHeader);
    Put16(header, entry_.zip64 ? kVersionZip64 : kVersionDeflate);
    Put16(header, folder ? kFlagUtf8 : kFlagUtf8 | kFlagDataDescriptor);
    Put16(header, folder ? kStored : kDeflated);
    Put32(header, entry_.dosTime);
    Put32(header, 0);  // CRC and sizes follow the data
    Put32(header, entry_.zip64 ? kMax32 : 0);
    Put32(header, entry_.zip64 ? kMax32 : 0);
    Put16(header, static_cast<std::uint16_t>(name.size()));
    Put16(header, entry_.zip64 ? 20 : 0);
    header.append(name);
    if (entry_.zip64) {
        Put16(header, 0x0001);
        Put16(header, 16);
        Put64(header, 0);
        Put64(header, 0);
    }
    return Put(header);
}

bool ZipWriter::AddFolder(std::string_view name, const FileInfo& info) {
    if (name.size() > kMax16) return Fail(Error::TooLarge);
    if (!BeginEntry(name, info, true)) return false;
    entry_.open = true;
    return EndFile();
}

bool ZipWriter::BeginFile(std::string_view name, const FileInfo& info) {
    if (name.size() > kMax16) return Fail(Error::TooLarge);
    if (!deflater_->ready || deflateReset(&deflater_->stream) != Z_OK)
        return Fail(Error::Compression);
    if (!BeginEntry(name, info, false)) return false;
    entry_.open = true;
    return true;
}

bool ZipWriter::AddData(std::span<const char> data) {
    if (!entry_.open || error_ != Error::None) return Fail(Error::Compression);
    entry_.crc = static_cast<std::uint32_t>(crc32(
        entry_.crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    entry_.size += data.size();
    return Deflate(data, false);
}

bool ZipWriter::Deflate(std::span<const char> data, bool finish) {
    z_stream& z = deflater_->stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    char chunk[kDeflateChunk];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        const int result = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) return Fail(Error::Compression);
        const std::size_t produced = sizeof chunk - z.avail_out;
        entry_.compressedSize += produced;
        if (!Put(std::string_view(chunk, produced))) return false;
        if (finish ? result == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0) return true;
    }
}

bool ZipWriter::EndFile() {
    if (!entry_.open || error_ != Error::None) return Fail(Error::Compression);
    entry_.open = false;
    const bool folder = entry_.attributes & 0x10;
    if (!folder) {
        if (!Deflate({}, true)) return false;
        // A file that grew past 4 GiB after its header was written cannot be described.
        if (!entry_.zip64 && (entry_.size >= kMax32 || entry_.compressedSize >= kMax32))
            return Fail(Error::TooLarge);
        std::string descriptor;
        Put32(descriptor, kDataDescriptor);
        Put32(descriptor, entry_.crc);
        if (entry_.zip64) {
            Put64(descriptor, entry_.compressedSize);
            Put64(descriptor, entry_.size);
        } else {
            Put32(descriptor, static_cast<std::uint32_t>(entry_.compressedSize));
            Put32(descriptor, static_cast<std::uint32_t>(entry_.size));
        }
        if (!Put(descriptor)) return false;
    }

    // The central record; ZIP64 fields for exactly the values that do not fit.
    std::string extra;
    if (entry_.size >= kMax32) Put64(extra, entry_.size);
    if (entry_.compressedSize >= kMax32) Put64(extra, entry_.compressedSize);
    if (entry_.headerOffset >= kMax32) Put64(extra, entry_.headerOffset);
    const bool zip64 = entry_.zip64 || !extra.empty();
    std::string& record = centralDirectory_;
    Put32(record, kCentralHeader);
    Put16(record, kVersionZip64);  // made by MS-DOS (attributes), version 4.5
    Put16(record, zip64 ? kVersionZip64 : kVersionDeflate);
    Put16(record, folder ? kFlagUtf8 : kFlagUtf8 | kFlagDataDescriptor);
    Put16(record, folder ? kStored : kDeflated);
    Put32(record, entry_.dosTime);
    Put32(record, entry_.crc);
    Put32(record, Clamp32(entry_.compressedSize));
    Put32(record, Clamp32(entry_.size));
    Put16(record, static_cast<std::uint16_t>(entry_.name.size()));
    Put16(record, static_cast<std::uint16_t>(extra.empty() ? 0 : extra.size() + 4));
    Put16(record, 0);  // comment
    Put16(record, 0);  // disk
    Put16(record, 0);  // internal attributes
    Put32(record, entry_.attributes);
    Put32(record, Clamp32(entry_.headerOffset));
    record.append(entry_.name);
    if (!extra.empty()) {
        Put16(record, 0x0001);
        Put16(record, static_cast<std::uint16_t>(extra.size()));
        record.append(extra);
    }
    ++entries_;
    return true;
}

bool ZipWriter::Finish() {
    if (entry_.open || error_ != Error::None) return Fail(Error::Compression);
    const std::uint64_t directoryOffset = offset_;
    const std::uint64_t directorySize = centralDirectory_.size();
    if (!Put(centralDirectory_)) return false;
    centralDirectory_.clear();

    std::string end;
    if (entries_ >= kMax16 || directoryOffset >= kMax32 || directorySize >= kMax32) {
        const std::uint64_t zip64EndOffset = offset_;
        Put32(end, kZip64End);
        Put64(end, 44);  // the size of the rest of this record
        Put16(end, kVersionZip64);
        Put16(end, kVersionZip64);
        Put32(end, 0);
        Put32(end, 0);
        Put64(end, entries_);
        Put64(end, entries_);
        Put64(end, directorySize);
        Put64(end, directoryOffset);
        Put32(end, kZip64Locator);
        Put32(end, 0);
        Put64(end, zip64EndOffset);
        Put32(end, 1);
    }
    const auto count = static_cast<std::uint16_t>(std::min<std::uint64_t>(entries_, kMax16));
    Put32(end, kEnd);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, count);
    Put16(end, count);
    Put32(end, Clamp32(directorySize));
    Put32(end, Clamp32(directoryOffset));
    Put16(end, 0);  // comment
    return Put(end) && Flush();
}

}  // namespace tovela

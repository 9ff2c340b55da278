#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovela::testing {

struct ZipEntryRead {
    std::string name;
    std::uint16_t flags = 0;
    std::uint32_t externalAttributes = 0;
    std::string data;
};

// Reads an archive the way an unzip program does: the central directory, then each entry's
// local header, its data inflated and checked against the CRC and sizes of the directory
// and of the data descriptor. The first inconsistency ends the reading with `error` set.
inline std::vector<ZipEntryRead> ReadZip(const std::string& zip, std::string& error) {
    const auto u16 = [&](std::size_t at) -> std::uint32_t {
        if (at + 2 > zip.size()) return 0;
        return static_cast<std::uint8_t>(zip[at]) | static_cast<std::uint8_t>(zip[at + 1]) << 8;
    };
    const auto u32 = [&](std::size_t at) -> std::uint32_t { return u16(at) | u16(at + 2) << 16; };
    std::vector<ZipEntryRead> entries;
    const auto fail = [&](std::string why) {
        error = std::move(why);
        return entries;
    };
    const std::size_t end = zip.size() < 22 ? std::string::npos : zip.rfind("PK\x05\x06");
    if (end == std::string::npos) return fail("no end record");
    std::size_t record = u32(end + 16);
    for (std::uint32_t n = 0; n < u16(end + 10); ++n) {
        if (u32(record) != 0x02014b50) return fail("bad central record");
        ZipEntryRead entry;
        entry.flags = static_cast<std::uint16_t>(u16(record + 8));
        const std::uint32_t method = u16(record + 10);
        const std::uint32_t crc = u32(record + 16);
        const std::uint32_t packed = u32(record + 20);
        const std::uint32_t size = u32(record + 24);
        const std::uint32_t nameLength = u16(record + 28);
        entry.externalAttributes = u32(record + 38);
        const std::size_t local = u32(record + 42);
        entry.name = zip.substr(record + 46, nameLength);
        record += 46 + nameLength + u16(record + 30) + u16(record + 32);

        if (u32(local) != 0x04034b50 || zip.compare(local + 30, nameLength, entry.name) != 0)
            return fail("bad local header of " + entry.name);
        const std::size_t data = local + 30 + nameLength + u16(local + 28);
        if (method == 8) {
            z_stream z{};
            inflateInit2(&z, -MAX_WBITS);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
            z.avail_in = packed;
            std::string out(size, '\0');
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = size;
            const int result = inflate(&z, Z_FINISH);
            const bool whole = result == Z_STREAM_END && z.total_in == packed && z.avail_out == 0;
            inflateEnd(&z);
            if (!whole) return fail("bad deflate data of " + entry.name);
            entry.data = std::move(out);
        } else {
            entry.data = zip.substr(data, packed);
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                  static_cast<uInt>(entry.data.size())) != crc)
            return fail("bad CRC of " + entry.name);
        if ((entry.flags & 8) != 0 &&
            (u32(data + packed) != 0x08074b50 || u32(data + packed + 4) != crc ||
             u32(data + packed + 8) != packed || u32(data + packed + 12) != size))
            return fail("bad data descriptor of " + entry.name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace tovela::testing

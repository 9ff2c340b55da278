// A PNG picture of 8-bit RGB rows, written with stored (uncompressed) deflate blocks, so
// the probe needs no compression library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovela::probe {

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PutBig(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void Chunk(std::vector<std::uint8_t>& png, const char* type,
                  const std::vector<std::uint8_t>& data) {
    PutBig(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBig(png, Crc32(body.data(), body.size()));
}

// `rgbRows`: each row a filter byte (0), then RGB.
inline std::vector<std::uint8_t> Png(int width, int height,
                                     const std::vector<std::uint8_t>& rgbRows) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig(header, static_cast<std::uint32_t>(width));
    PutBig(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    Chunk(png, "IHDR", header);

    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::size_t at = 0; at < rgbRows.size() || at == 0;) {
        const std::size_t size = std::min<std::size_t>(65535, rgbRows.size() - at);
        const bool last = at + size == rgbRows.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<std::uint8_t>(size));
        zlib.push_back(static_cast<std::uint8_t>(size >> 8));
        zlib.push_back(static_cast<std::uint8_t>(~size));
        zlib.push_back(static_cast<std::uint8_t>(~size >> 8));
        for (std::size_t i = at; i < at + size; ++i) {
            zlib.push_back(rgbRows[i]);
            a = (a + rgbRows[i]) % 65521;
            b = (b + a) % 65521;
        }
        at += size;
        if (last) break;
    }
    PutBig(zlib, (b << 16) | a);
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", {});
    return png;
}

}  // namespace tovela::probe

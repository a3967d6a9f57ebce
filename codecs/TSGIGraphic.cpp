#include "codecs/TSGIGraphic.h"

#include <algorithm>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t HeaderSize = 512;

// A stored value of bpc bytes (big-endian) as 8 bits, rounded.
inline uint8_t value(const uint8_t* s, int bpc) {
    return bpc == 1 ? s[0] : uint8_t((be16(s) * 255u + 32767u) / 65535u);
}

// Unpacks one run-length encoded row of `width` values of `bpc` bytes from
// s (n bytes) into 8-bit values in out. False when the row is damaged.
bool unpackRow(const uint8_t* s, std::size_t n, int bpc, std::size_t width, uint8_t* out) {
    std::size_t i = 0, x = 0;
    while (true) {
        if (i + std::size_t(bpc) > n) return false;
        const unsigned head = bpc == 1 ? s[i] : be16(s + i);
        i += std::size_t(bpc);
        const std::size_t count = head & 0x7F;
        if (count == 0) return x == width;
        if (count > width - x) return false;
        if (head & 0x80) {
            if (i + count * std::size_t(bpc) > n) return false;
            for (std::size_t k = 0; k < count; ++k, i += std::size_t(bpc))
                out[x++] = value(s + i, bpc);
        } else {
            if (i + std::size_t(bpc) > n) return false;
            const uint8_t v = value(s + i, bpc);
            i += std::size_t(bpc);
            for (std::size_t k = 0; k < count; ++k) out[x++] = v;
        }
    }
}

}  // namespace

bool TSGIGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < HeaderSize || be16(data) != 474) {
        error = "not an SGI file";
        return false;
    }
    const int storage = data[2];
    const int bpc = data[3];
    const int dimension = be16(data + 4);
    int64_t width = be16(data + 6);
    int64_t height = be16(data + 8);
    int64_t channels = be16(data + 10);
    const uint32_t colormap = be32(data + 104);
    if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3 || colormap != 0) {
        error = "SGI variant not supported";
        return false;
    }
    if (dimension == 1) height = 1;
    if (dimension < 3) channels = 1;
    if (channels < 1) {
        error = "SGI picture has no channel";
        return false;
    }
    const int64_t used = std::min<int64_t>(channels, 4);
    if (width <= 0 || height <= 0 || width > MaxPixels / used / height) {
        error = "SGI picture size not accepted";
        return false;
    }
    // Every channel's every row, located and checked before anything is allocated.
    const std::size_t rows = std::size_t(height) * std::size_t(used);
    const std::size_t rowBytes = std::size_t(width) * std::size_t(bpc);
    const uint8_t* starts = nullptr;
    const uint8_t* lengths = nullptr;
    if (storage == 0) {
        if (uint64_t(rowBytes) * height * used > size - HeaderSize) {
            error = "SGI data runs past the end of the file";
            return false;
        }
    } else {
        const uint64_t table = uint64_t(height) * uint64_t(channels) * 4;
        if (HeaderSize + 2 * table > size) {
            error = "SGI row table runs past the end of the file";
            return false;
        }
        starts = data + HeaderSize;
        lengths = starts + table;
        for (std::size_t r = 0; r < rows; ++r) {
            const uint64_t start = be32(starts + 4 * r), length = be32(lengths + 4 * r);
            if (start > size || length > size - start) {
                error = "SGI row lies outside the file";
                return false;
            }
        }
    }
    if (!image.allocate(width, height, error)) return false;
    std::vector<uint8_t> row(static_cast<std::size_t>(width));
    for (int64_t c = 0; c < used; ++c) {
        for (int64_t y = 0; y < height; ++y) {
            const std::size_t r = std::size_t(c * height + y);
            if (storage == 0) {
                const uint8_t* s = data + HeaderSize + r * rowBytes;
                for (std::size_t x = 0; x < std::size_t(width); ++x)
                    row[x] = value(s + x * std::size_t(bpc), bpc);
            } else if (!unpackRow(data + be32(starts + 4 * r), be32(lengths + 4 * r), bpc,
                                  std::size_t(width), row.data())) {
                error = "SGI run-length row is damaged";
                return false;
            }
            uint8_t* d = image.row(int32_t(height - 1 - y));
            // Grey fills red, green and blue; grey and alpha puts the second
            // channel in alpha; otherwise channel c is red, green, blue, alpha.
            if (used <= 2 && c == 0) {
                for (std::size_t x = 0; x < std::size_t(width); ++x, d += 4) {
                    d[0] = d[1] = d[2] = row[x];
                    d[3] = 255;
                }
            } else {
                const int64_t target = used == 2 ? 3 : c;
                for (std::size_t x = 0; x < std::size_t(width); ++x)
                    d[4 * x + std::size_t(target)] = row[x];
                if (used == 3 && c == 0)
                    for (std::size_t x = 0; x < std::size_t(width); ++x) d[4 * x + 3] = 255;
            }
        }
    }
    return true;
}

}  // namespace kv::codecs

#include "codecs/TCUTGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t PaletteHeaderSize = 40;
constexpr std::size_t PaletteBlock = 512;

// A palette file: "AH", version, size, file type 10 and subtype 0, board and
// mode words, the largest index and the largest red, green and blue levels,
// a 20-byte name; then 3 little-endian words per colour, stored in 512-byte
// blocks that no colour straddles.
bool readPalette(const uint8_t* p, std::size_t n, uint8_t colours[256 * 3], std::string& error) {
    if (n < PaletteHeaderSize || p[0] != 'A' || p[1] != 'H' || p[6] != 10 || p[7] != 0) {
        error = "not a Dr. Halo palette file";
        return false;
    }
    const unsigned maxIndex = le16(p + 12);
    const unsigned maxLevel[3] = {le16(p + 14), le16(p + 16), le16(p + 18)};
    if (maxIndex > 255 || !maxLevel[0] || !maxLevel[1] || !maxLevel[2]) {
        error = "Dr. Halo palette header not accepted";
        return false;
    }
    std::size_t at = PaletteHeaderSize;
    for (unsigned i = 0; i <= maxIndex; ++i) {
        if (at / PaletteBlock != (at + 5) / PaletteBlock)
            at = (at / PaletteBlock + 1) * PaletteBlock;
        if (at + 6 > n) {
            error = "Dr. Halo palette ends before its last colour";
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            const unsigned v = std::min<unsigned>(le16(p + at + 2 * c), maxLevel[c]);
            colours[3 * i + c] = uint8_t((v * 255 + maxLevel[c] / 2) / maxLevel[c]);
        }
        at += 6;
    }
    return true;
}

}  // namespace

bool TCUTGraphic::decode(const uint8_t* data, std::size_t size, const uint8_t* palette,
                         std::size_t paletteSize, RgbaImage& image, std::string& error) {
    if (size < 6) {
        error = "file too short for a Dr. Halo header";
        return false;
    }
    const int64_t width = le16(data), height = le16(data + 2);
    uint8_t colours[256 * 3] = {};
    const bool haveColours = palette && paletteSize > 0;
    if (haveColours && !readPalette(palette, paletteSize, colours, error)) return false;
    // Each row takes its 2-byte length at least.
    if (uint64_t(height) * 2 > size - 6) {
        error = "Dr. Halo rows run past the end of the file";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;

    std::vector<uint8_t> indices(std::size_t(width) * std::size_t(height));
    ByteReader in(data, size);
    in.seek(6);
    for (int64_t y = 0; y < height; ++y) {
        uint16_t length;
        const uint8_t* s = in.le16(length) ? in.take(length) : nullptr;
        if (!s) {
            error = "Dr. Halo row runs past the end of the file";
            return false;
        }
        // A count byte: 0 ends the row, high bit set repeats the next byte
        // (count & 127) times, else count bytes follow as they are. A row
        // that ends short keeps index 0 for the rest.
        uint8_t* d = indices.data() + std::size_t(y) * std::size_t(width);
        std::size_t i = 0, x = 0;
        while (i < length) {
            const unsigned count = s[i] & 0x7F;
            const bool run = s[i++] & 0x80;
            if (count == 0) break;
            if (count > std::size_t(width) - x || (run ? 1u : count) > length - i) {
                error = "Dr. Halo run passes the end of its row";
                return false;
            }
            if (run) {
                std::memset(d + x, s[i++], count);
            } else {
                std::memcpy(d + x, s + i, count);
                i += count;
            }
            x += count;
        }
    }
    if (!haveColours) {
        const unsigned top =
            std::max<unsigned>(1, *std::max_element(indices.begin(), indices.end()));
        for (unsigned i = 0; i < 256; ++i)
            colours[3 * i] = colours[3 * i + 1] = colours[3 * i + 2] =
                uint8_t(std::min(255u, i * 255 / top));
    }
    uint8_t* d = image.pixels.data();
    for (const uint8_t index : indices) {
        d[0] = colours[3 * index];
        d[1] = colours[3 * index + 1];
        d[2] = colours[3 * index + 2];
        d[3] = 255;
        d += 4;
    }
    return true;
}

}  // namespace kv::codecs

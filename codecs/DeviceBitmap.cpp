#include "codecs/DeviceBitmap.h"

#include <bit>
#include <cstring>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

struct Header {
    std::size_t headerSize = 0;
    int64_t width = 0, height = 0;
    bool topDown = false;
    unsigned bitCount = 0;
    uint32_t compression = 0;
    std::size_t colours = 0;     // entries in the colour table
    std::size_t entryBytes = 4;  // 3 for a core header
    std::size_t extra = 0;       // table entries a true-colour bitmap carries as a hint
    bool masks = false;          // three 32-bit masks follow a 40-byte header
};

enum { Rgb = 0, BitFields = 3 };

bool readHeader(const uint8_t* p, std::size_t n, Header& h) {
    if (n < 12) return false;
    h.headerSize = le32(p);
    if (h.headerSize == 12) {
        h.width = le16(p + 4);
        h.height = le16(p + 6);
        h.bitCount = le16(p + 10);
        h.entryBytes = 3;
    } else if (h.headerSize >= 40 && h.headerSize <= n) {
        h.width = int32_t(le32(p + 4));
        h.height = int32_t(le32(p + 8));
        h.bitCount = le16(p + 14);
        h.compression = le32(p + 16);
        h.colours = le32(p + 32);
        h.masks = h.compression == BitFields && h.headerSize == 40;
    } else {
        return false;
    }
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (h.bitCount <= 8) {
        if (h.colours == 0 || h.colours > (std::size_t(1) << h.bitCount))
            h.colours = std::size_t(1) << h.bitCount;
    } else {
        h.extra = h.colours;  // a true-colour bitmap's table is only a hint; it is skipped
        h.colours = 0;
    }
    return true;
}

uint64_t tableBytes(const Header& h) {
    return uint64_t(h.colours + h.extra) * h.entryBytes + (h.masks ? 12 : 0);
}

// Value of a mask-selected field scaled to 8 bits.
inline uint8_t field(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const uint32_t bits = (mask >> shift);
    const uint32_t x = (v & mask) >> shift;
    return uint8_t(bits >= 255 ? x >> (std::bit_width(bits) - 8) : (x * 255 + bits / 2) / bits);
}

}  // namespace

std::size_t DeviceBitmap::infoSize(const uint8_t* info, std::size_t size) {
    Header h;
    if (!readHeader(info, size, h)) return 0;
    const uint64_t total = h.headerSize + tableBytes(h);
    return total <= size ? std::size_t(total) : 0;
}

bool DeviceBitmap::decode(const uint8_t* info, std::size_t infoSize, const uint8_t* bits,
                          std::size_t bitsSize, RgbaImage& image, std::string& error) {
    Header h;
    if (!readHeader(info, infoSize, h)) {
        error = "bitmap header is damaged";
        return false;
    }
    if (h.compression != Rgb && h.compression != BitFields) {
        error = "compressed bitmaps are not read";
        return false;
    }
    const unsigned b = h.bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) {
        error = "bitmap depth not supported";
        return false;
    }
    if (h.compression == BitFields && b != 16 && b != 32) {
        error = "bit-field masks on a bitmap that is not 16 or 32-bit";
        return false;
    }
    if (h.headerSize + tableBytes(h) > infoSize) {
        error = "bitmap colour table is missing";
        return false;
    }
    if (h.width <= 0 || h.height <= 0 || h.width > MaxPixels / h.height) {
        error = "bitmap size not accepted";
        return false;
    }
    const uint64_t stride = (uint64_t(h.width) * b + 31) / 32 * 4;
    if (stride * uint64_t(h.height) > bitsSize) {
        error = "bitmap rows run past the end of the record";
        return false;
    }
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (b == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (h.compression == BitFields) {
        const uint8_t* m = info + (h.masks ? h.headerSize : 40);
        masks[0] = le32(m);
        masks[1] = le32(m + 4);
        masks[2] = le32(m + 8);
    }
    if (!image.allocate(h.width, h.height, error)) return false;
    const uint8_t* table = info + h.headerSize;
    for (int64_t y = 0; y < h.height; ++y) {
        const uint8_t* s = bits + std::size_t(stride) * std::size_t(y);
        uint8_t* d = image.row(int32_t(h.topDown ? y : h.height - 1 - y));
        for (int64_t x = 0; x < h.width; ++x, d += 4) {
            d[3] = 255;
            if (b <= 8) {
                const std::size_t bit = std::size_t(x) * b;
                const unsigned index = (s[bit / 8] >> (8 - b - bit % 8)) & ((1u << b) - 1);
                if (index >= h.colours) {
                    d[0] = d[1] = d[2] = 0;
                    continue;
                }
                const uint8_t* e = table + index * h.entryBytes;
                d[0] = e[2];
                d[1] = e[1];
                d[2] = e[0];
            } else if (b == 24) {
                d[0] = s[3 * x + 2];
                d[1] = s[3 * x + 1];
                d[2] = s[3 * x];
            } else {
                const uint32_t v = b == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
                d[0] = field(v, masks[0]);
                d[1] = field(v, masks[1]);
                d[2] = field(v, masks[2]);
            }
        }
    }
    return true;
}

}  // namespace kv::codecs

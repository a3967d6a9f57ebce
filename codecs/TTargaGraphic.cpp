#include "codecs/TTargaGraphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t HeaderSize = 18;

// One pixel of the file's own layout to RGBA. Targa stores blue first.
inline void put15(const uint8_t* s, uint8_t* d, bool alphaBit) {
    const unsigned v = le16(s);
    const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    d[0] = uint8_t(r << 3 | r >> 2);
    d[1] = uint8_t(g << 3 | g >> 2);
    d[2] = uint8_t(b << 3 | b >> 2);
    d[3] = alphaBit ? ((v & 0x8000) ? 255 : 0) : 255;
}

struct Format {
    int bytes = 0;  // bytes of one stored pixel
    bool mapped = false;
    bool grey = false;
    bool alpha = false;  // the attribute bits carry alpha
};

// Turns n stored pixels into RGBA; indices are checked against the map.
bool convert(const Format& f, const uint8_t* s, std::size_t n, uint8_t* d,
             const std::vector<uint8_t>& map, std::string& error) {
    if (f.mapped) {
        const std::size_t entries = map.size() / 4;
        for (std::size_t i = 0; i < n; ++i, d += 4) {
            const std::size_t index = f.bytes == 1 ? s[i] : le16(s + 2 * i);
            if (index >= entries) {
                error = "colour index outside the colour map";
                return false;
            }
            std::memcpy(d, &map[index * 4], 4);
        }
        return true;
    }
    if (f.grey) {
        for (std::size_t i = 0; i < n; ++i, d += 4, s += f.bytes) {
            d[0] = d[1] = d[2] = s[0];
            d[3] = f.bytes == 2 && f.alpha ? s[1] : 255;
        }
        return true;
    }
    switch (f.bytes) {
        case 2:
            for (std::size_t i = 0; i < n; ++i, d += 4, s += 2) put15(s, d, f.alpha);
            break;
        case 3:
            for (std::size_t i = 0; i < n; ++i, d += 4, s += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                d[3] = 255;
            }
            break;
        default:
            for (std::size_t i = 0; i < n; ++i, d += 4, s += 4) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                d[3] = f.alpha ? s[3] : 255;
            }
            break;
    }
    return true;
}

bool readColourMap(ByteReader& in, int first, int length, int entryBits, std::vector<uint8_t>& map,
                   std::string& error) {
    const int entryBytes = (entryBits + 7) / 8;
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) {
        error = "colour map entry size not supported";
        return false;
    }
    const uint8_t* s = in.take(uint64_t(length) * entryBytes);
    if (!s) {
        error = "colour map runs past the end of the file";
        return false;
    }
    // Indices below the first entry have no colour; they stay transparent black.
    map.assign(std::size_t(first + length) * 4, 0);
    uint8_t* d = map.data() + std::size_t(first) * 4;
    for (int i = 0; i < length; ++i, s += entryBytes, d += 4) {
        if (entryBytes == 2) {
            put15(s, d, entryBits == 16);
        } else {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = entryBytes == 4 ? s[3] : 255;
        }
    }
    if (entryBits == 16 || entryBits == 32) {
        // A map whose alpha is zero in every entry was written without alpha.
        bool anyAlpha = false;
        for (std::size_t i = 3; i < map.size(); i += 4) anyAlpha = anyAlpha || map[i] != 0;
        if (!anyAlpha)
            for (std::size_t i = std::size_t(first) * 4 + 3; i < map.size(); i += 4) map[i] = 255;
    }
    return true;
}

}  // namespace

bool TTargaGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                           std::string& error) {
    if (size < HeaderSize) {
        error = "file too short for a Targa header";
        return false;
    }
    const uint8_t idLength = data[0];
    const uint8_t mapType = data[1];
    const uint8_t type = data[2];
    const int mapFirst = le16(data + 3);
    const int mapLength = le16(data + 5);
    const int mapBits = data[7];
    const int64_t width = le16(data + 12);
    const int64_t height = le16(data + 14);
    const int depth = data[16];
    const uint8_t descriptor = data[17];

    const int kind = type & 7;  // 1 mapped, 2 true colour, 3 grey
    const bool rle = (type & 8) != 0;
    if (type & ~0x0B || kind < 1 || kind > 3 || mapType > 1) {
        error = "Targa image type not supported";
        return false;
    }
    Format f;
    f.mapped = kind == 1;
    f.grey = kind == 3;
    f.bytes = (depth + 7) / 8;
    const int alphaBits = descriptor & 0x0F;
    if (f.mapped) {
        if ((depth != 8 && depth != 16) || mapType != 1) {
            error = "colour-mapped Targa without a usable colour map";
            return false;
        }
    } else if (f.grey) {
        if (depth != 8 && depth != 16) {
            error = "greyscale Targa depth not supported";
            return false;
        }
        f.alpha = depth == 16;
    } else {
        if (depth != 15 && depth != 16 && depth != 24 && depth != 32) {
            error = "true-colour Targa depth not supported";
            return false;
        }
        f.alpha = (depth == 16 && alphaBits == 1) || (depth == 32 && alphaBits > 0);
    }
    if (f.mapped && mapLength == 0) {
        error = "colour map is empty";
        return false;
    }

    ByteReader in(data, size);
    in.seek(HeaderSize);
    if (!in.skip(idLength)) {
        error = "image ID runs past the end of the file";
        return false;
    }
    std::vector<uint8_t> map;
    if (mapType == 1) {
        if (f.mapped) {
            if (!readColourMap(in, mapFirst, mapLength, mapBits, map, error)) return false;
        } else if (!in.skip(uint64_t(mapLength) * ((mapBits + 7) / 8))) {
            error = "colour map runs past the end of the file";
            return false;
        }
    }
    // The file must be able to hold the picture before it is allocated: all
    // of it when plain, one packet in 128 pixels at least when encoded.
    const uint64_t pixelCount = uint64_t(width) * uint64_t(height);
    const uint64_t least =
        rle ? (pixelCount + 127) / 128 * (1 + uint64_t(f.bytes)) : pixelCount * f.bytes;
    if (least > in.remaining()) {
        error = "pixel data runs past the end of the file";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;

    // Pixels that cannot go straight to their place are decoded in file
    // order into the picture itself and turned round there afterwards: a
    // second picture-sized buffer would double the memory of a large file.
    const std::size_t count = std::size_t(width) * std::size_t(height);
    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    const bool direct = (topDown || !rle) && !rightToLeft;
    uint8_t* out = image.pixels.data();
    if (!rle) {
        const uint8_t* s = in.take(uint64_t(count) * f.bytes);
        if (!s) {
            error = "pixel data runs past the end of the file";
            return false;
        }
        if (direct) {
            // Plain rows go straight to their place, whichever way up they are stored.
            const std::size_t rowBytes = std::size_t(width) * f.bytes;
            for (int64_t y = 0; y < height; ++y)
                if (!convert(f, s + std::size_t(y) * rowBytes, std::size_t(width),
                             image.row(int32_t(topDown ? y : height - 1 - y)), map, error))
                    return false;
        } else if (!convert(f, s, count, out, map, error)) {
            return false;
        }
    } else {
        std::size_t done = 0;
        while (done < count) {
            uint8_t packet;
            if (!in.u8(packet)) {
                error = "run-length data ends before the picture is complete";
                return false;
            }
            const std::size_t n = (packet & 0x7F) + 1u;
            if (n > count - done) {
                error = "run-length packet passes the end of the picture";
                return false;
            }
            uint8_t* d = out + done * 4;
            if (packet & 0x80) {
                const uint8_t* s = in.take(f.bytes);
                if (!s) {
                    error = "run-length data ends before the picture is complete";
                    return false;
                }
                if (!convert(f, s, 1, d, map, error)) return false;
                for (std::size_t i = 1; i < n; ++i) std::memcpy(d + 4 * i, d, 4);
            } else {
                const uint8_t* s = in.take(uint64_t(n) * f.bytes);
                if (!s) {
                    error = "run-length data ends before the picture is complete";
                    return false;
                }
                if (!convert(f, s, n, d, map, error)) return false;
            }
            done += n;
        }
    }
    if (!direct) {
        if (!topDown)
            for (int32_t y = 0, z = int32_t(height) - 1; y < z; ++y, --z)
                std::swap_ranges(image.row(y), image.row(y) + std::size_t(width) * 4, image.row(z));
        if (rightToLeft)
            for (int32_t y = 0; y < height; ++y) {
                uint8_t* row = image.row(y);
                for (int64_t x = 0, z = width - 1; x < z; ++x, --z)
                    std::swap_ranges(row + 4 * x, row + 4 * x + 4, row + 4 * z);
            }
    }
    if (f.alpha && !f.mapped) {
        // Writers that fill the attribute bits with zero mean "no alpha".
        bool anyAlpha = false;
        for (std::size_t i = 3; i < image.pixels.size() && !anyAlpha; i += 4)
            anyAlpha = image.pixels[i] != 0;
        if (!anyAlpha)
            for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
    }
    return true;
}

}  // namespace kv::codecs

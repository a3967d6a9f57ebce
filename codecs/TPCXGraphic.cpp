#include "codecs/TPCXGraphic.h"

#include <algorithm>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t HeaderSize = 128;

// The palette of an EGA card after reset, for files that carry no palette.
constexpr uint8_t EgaPalette[48] = {0,   0,  0,  0,   0,  170, 0,   170, 0,  0,   170, 170,
                                    170, 0,  0,  170, 0,  170, 170, 85,  0,  170, 170, 170,
                                    85,  85, 85, 85,  85, 255, 85,  255, 85, 85,  255, 255,
                                    255, 85, 85, 255, 85, 255, 255, 255, 85, 255, 255, 255};

inline void putIndex(uint8_t* d, const uint8_t* palette, unsigned index) {
    d[0] = palette[index * 3];
    d[1] = palette[index * 3 + 1];
    d[2] = palette[index * 3 + 2];
    d[3] = 255;
}

}  // namespace

bool TPCXGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < HeaderSize || data[0] != 0x0A) {
        error = "not a PCX file";
        return false;
    }
    const int version = data[1];
    const int encoding = data[2];
    const int bits = data[3];
    const int64_t xMin = le16(data + 4), yMin = le16(data + 6);
    const int64_t xMax = le16(data + 8), yMax = le16(data + 10);
    const int dpiX = le16(data + 12), dpiY = le16(data + 14);
    const int planes = data[65];
    const std::size_t bytesPerLine = le16(data + 66);
    if (version > 5 || encoding > 1) {
        error = "PCX version or encoding not supported";
        return false;
    }
    const int64_t width = xMax - xMin + 1;
    const int64_t height = yMax - yMin + 1;
    if (width <= 0 || height <= 0) {
        error = "PCX window is empty";
        return false;
    }
    const bool planar1 = bits == 1 && planes >= 1 && planes <= 4;
    const bool packed = (bits == 2 || bits == 4 || bits == 8) && planes == 1;
    const bool rgb = bits == 8 && (planes == 3 || planes == 4);
    if (!planar1 && !packed && !rgb) {
        error = "PCX bit depth and plane count not supported";
        return false;
    }
    if (uint64_t(bytesPerLine) * 8 < uint64_t(width) * bits) {
        error = "PCX line is shorter than the picture is wide";
        return false;
    }

    // The palette: 256 colours after the marker for 8-bit pictures, else 16
    // in the header, with black and white for plain monochrome.
    uint8_t palette[256 * 3];
    const uint8_t* scan = data + HeaderSize;
    std::size_t scanSize = size - HeaderSize;
    if (bits == 8 && planes == 1) {
        if (size >= HeaderSize + 769 && data[size - 769] == 0x0C) {
            std::copy(data + size - 768, data + size, palette);
            scanSize -= 769;
        } else {
            for (int i = 0; i < 256; ++i)
                palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = uint8_t(i);
        }
    } else if (bits == 1 && planes == 1) {
        palette[0] = palette[1] = palette[2] = 0;
        palette[3] = palette[4] = palette[5] = 255;
    } else {
        const bool headerPalette = version != 0 && version != 3;
        std::copy(headerPalette ? data + 16 : EgaPalette,
                  (headerPalette ? data + 16 : EgaPalette) + 48, palette);
    }

    // One encoded byte gives at most 63: a file too short for the picture is
    // refused before it is allocated.
    const uint64_t total = uint64_t(bytesPerLine) * planes * uint64_t(height);
    if ((encoding == 0 ? total : (total + 62) / 63) > scanSize) {
        error = "PCX data ends before the picture is complete";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;
    // A line is every plane's bytes, plane after plane. Runs may carry over
    // from one line to the next, as some writers emit them.
    const std::size_t lineBytes = bytesPerLine * planes;
    std::vector<uint8_t> line(lineBytes);
    ByteReader in(scan, scanSize);
    uint8_t runValue = 0;
    std::size_t runLeft = 0;
    for (int32_t y = 0; y < image.height; ++y) {
        if (encoding == 0) {
            const uint8_t* s = in.take(lineBytes);
            if (!s) {
                error = "PCX data ends before the picture is complete";
                return false;
            }
            std::copy(s, s + lineBytes, line.begin());
        } else {
            std::size_t i = 0;
            while (i < lineBytes) {
                if (runLeft > 0) {
                    const std::size_t n = std::min(runLeft, lineBytes - i);
                    std::fill(line.begin() + std::ptrdiff_t(i),
                              line.begin() + std::ptrdiff_t(i + n), runValue);
                    i += n;
                    runLeft -= n;
                    continue;
                }
                uint8_t b;
                if (!in.u8(b)) {
                    error = "PCX data ends before the picture is complete";
                    return false;
                }
                if ((b & 0xC0) == 0xC0) {
                    runLeft = b & 0x3F;
                    if (!in.u8(runValue)) {
                        error = "PCX data ends before the picture is complete";
                        return false;
                    }
                } else {
                    line[i++] = b;
                }
            }
        }
        uint8_t* d = image.row(y);
        if (rgb) {
            for (int32_t x = 0; x < image.width; ++x, d += 4) {
                d[0] = line[std::size_t(x)];
                d[1] = line[bytesPerLine + std::size_t(x)];
                d[2] = line[2 * bytesPerLine + std::size_t(x)];
                d[3] = planes == 4 ? line[3 * bytesPerLine + std::size_t(x)] : 255;
            }
        } else if (planar1) {
            for (int32_t x = 0; x < image.width; ++x, d += 4) {
                unsigned index = 0;
                const unsigned shift = 7 - unsigned(x & 7);
                for (int p = 0; p < planes; ++p)
                    index |=
                        ((line[std::size_t(p) * bytesPerLine + std::size_t(x >> 3)] >> shift) & 1u)
                        << p;
                putIndex(d, palette, index);
            }
        } else {
            const unsigned perByte = 8 / unsigned(bits), mask = (1u << bits) - 1;
            for (int32_t x = 0; x < image.width; ++x, d += 4) {
                const unsigned shift = unsigned(bits) * (perByte - 1 - unsigned(x) % perByte);
                putIndex(d, palette, (line[std::size_t(x) / perByte] >> shift) & mask);
            }
        }
    }
    if (dpiX > 0 && dpiY > 0 && dpiX <= 10000 && dpiY <= 10000) {
        image.dpiX = dpiX;
        image.dpiY = dpiY;
    }
    return true;
}

}  // namespace kv::codecs

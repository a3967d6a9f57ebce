#include "codecs/TPSDGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

enum Mode { Bitmap = 0, Grey = 1, Indexed = 2, Rgb = 3, Cmyk = 4, Duotone = 8, Lab = 9 };

bool readLength(ByteReader& in, bool large, uint64_t& length) {
    uint32_t hi = 0, lo = 0;
    if (large && !in.be32(hi)) return false;
    if (!in.be32(lo)) return false;
    length = uint64_t(hi) << 32 | lo;
    return true;
}

// Unpacks one PackBits row of n bytes into exactly `want` bytes.
bool unpackBits(const uint8_t* s, std::size_t n, uint8_t* out, std::size_t want) {
    std::size_t i = 0, o = 0;
    while (o < want) {
        if (i >= n) return false;
        const int head = int8_t(s[i++]);
        if (head >= 0) {
            const std::size_t count = std::size_t(head) + 1;
            if (count > want - o || count > n - i) return false;
            std::memcpy(out + o, s + i, count);
            i += count;
            o += count;
        } else if (head != -128) {
            const std::size_t count = std::size_t(1 - head);
            if (count > want - o || i >= n) return false;
            std::memset(out + o, s[i++], count);
            o += count;
        }
    }
    return true;
}

// The resolution resource (1005): horizontal and vertical dots per inch as
// 16.16 fixed point, each followed by its unit (1 per inch, 2 per cm).
void readResolution(const uint8_t* s, std::size_t n, RgbaImage& image) {
    ByteReader in(s, n);
    while (in.remaining() >= 12) {
        const uint8_t* head = in.take(6);
        if (std::memcmp(head, "8BIM", 4) != 0) return;
        const unsigned id = be16(head + 4);
        uint8_t nameLength;
        if (!in.u8(nameLength) || !in.skip(nameLength + ((nameLength + 1u) & 1u))) return;
        uint32_t length;
        if (!in.be32(length)) return;
        const uint8_t* body = in.take(length);
        if (!body || !in.skip(std::min<std::size_t>(length & 1, in.remaining()))) return;
        if (id == 1005 && length >= 16) {
            image.dpiX = be32(body) / 65536.0;
            image.dpiY = be32(body + 8) / 65536.0;
            if (be16(body + 4) == 2) image.dpiX *= 2.54;
            if (be16(body + 12) == 2) image.dpiY *= 2.54;
            return;
        }
    }
}

// CIE L*a*b* (D65 white) to sRGB.
void labToRgb(uint8_t lByte, uint8_t aByte, uint8_t bByte, uint8_t* d) {
    const double l = lByte * 100.0 / 255.0, a = aByte - 128.0, b = bByte - 128.0;
    const double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
    const auto inv = [](double t) {
        return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
    };
    const double x = 0.95047 * inv(fx), y = inv(fy), z = 1.08883 * inv(fz);
    const double lin[3] = {3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
                           -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
                           0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
    for (int i = 0; i < 3; ++i) {
        const double c = std::clamp(lin[i], 0.0, 1.0);
        const double g = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
        d[i] = uint8_t(std::lround(g * 255));
    }
}

}  // namespace

bool TPSDGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < 26 || std::memcmp(data, "8BPS", 4) != 0) {
        error = "not a Photoshop file";
        return false;
    }
    const unsigned version = be16(data + 4);
    const int64_t channels = be16(data + 12);
    const int64_t height = be32(data + 14);
    const int64_t width = be32(data + 18);
    const unsigned depth = be16(data + 22);
    const unsigned mode = be16(data + 24);
    if (version != 1 && version != 2) {
        error = "Photoshop file version not supported";
        return false;
    }
    const bool large = version == 2;
    int colourChannels = 0;
    switch (mode) {
        case Bitmap:
            colourChannels = depth == 1 ? 1 : 0;
            break;
        case Grey:
        case Duotone:
        case Indexed:
            colourChannels = depth == 8 || (depth == 16 && mode != Indexed) ? 1 : 0;
            break;
        case Rgb:
        case Lab:
            colourChannels = depth == 8 || depth == 16 ? 3 : 0;
            break;
        case Cmyk:
            colourChannels = depth == 8 || depth == 16 ? 4 : 0;
            break;
        default:
            break;
    }
    if (colourChannels == 0) {
        error = "Photoshop colour mode or depth not supported";
        return false;
    }
    if (channels < colourChannels || channels > 56) {
        error = "Photoshop channel count does not fit the colour mode";
        return false;
    }
    const int used = int(std::min<int64_t>(channels, colourChannels + 1));
    if (width <= 0 || height <= 0 || width > MaxPixels / used / height) {
        error = "Photoshop picture size not accepted";
        return false;
    }

    ByteReader in(data, size);
    in.seek(26);
    uint32_t length;
    if (!in.be32(length) || (mode == Indexed && length < 768)) {
        error = "Photoshop colour data is missing";
        return false;
    }
    const uint8_t* colourData = in.take(length);
    uint32_t resourcesLength;
    const uint8_t* resources =
        colourData && in.be32(resourcesLength) ? in.take(resourcesLength) : nullptr;
    uint64_t layersLength = 0;
    if (!resources || !readLength(in, large, layersLength) || !in.skip(layersLength)) {
        error = "Photoshop sections run past the end of the file";
        return false;
    }
    uint16_t compression;
    if (!in.be16(compression) || compression > 1) {
        error = "Photoshop composite compression not supported";
        return false;
    }

    // Each channel's rows, as plain bytes of `rowBytes` each.
    const std::size_t bytesPer = depth == 16 ? 2 : 1;
    const std::size_t rowBytes =
        depth == 1 ? (std::size_t(width) + 7) / 8 : std::size_t(width) * bytesPer;
    const std::size_t rows = std::size_t(height) * std::size_t(channels);
    const uint8_t* counts = nullptr;
    const std::size_t countBytes = large ? 4 : 2;
    if (compression == 0) {
        if (uint64_t(rowBytes) * height * used > in.remaining()) {
            error = "Photoshop pixel data runs past the end of the file";
            return false;
        }
    } else {
        counts = in.take(uint64_t(rows) * countBytes);
        uint64_t total = 0;
        for (std::size_t r = 0; counts && r < rows; ++r)
            total += large ? be32(counts + 4 * r) : be16(counts + 2 * r);
        if (!counts || total > in.remaining()) {
            error = "Photoshop run-length data runs past the end of the file";
            return false;
        }
    }
    if (!image.allocate(width, height, error)) return false;

    // Channels are planar; gather the used ones into 8-bit planes first.
    std::vector<uint8_t> planes(std::size_t(width) * std::size_t(height) * std::size_t(used));
    std::vector<uint8_t> row(rowBytes);
    const uint8_t* next = in.data() + in.pos();
    for (int c = 0; c < used; ++c) {
        uint8_t* plane = planes.data() + std::size_t(c) * std::size_t(width) * std::size_t(height);
        for (int64_t y = 0; y < height; ++y) {
            const uint8_t* s = next;
            if (compression == 0) {
                next += rowBytes;
            } else {
                const std::size_t r = std::size_t(c) * std::size_t(height) + std::size_t(y);
                const std::size_t n = large ? be32(counts + 4 * r) : be16(counts + 2 * r);
                if (!unpackBits(next, n, row.data(), rowBytes)) {
                    error = "Photoshop run-length row is damaged";
                    return false;
                }
                next += n;
                s = row.data();
            }
            uint8_t* d = plane + std::size_t(y) * std::size_t(width);
            if (depth == 1) {
                for (std::size_t x = 0; x < std::size_t(width); ++x)
                    d[x] = (s[x >> 3] >> (7 - (x & 7)) & 1) ? 0 : 255;
            } else if (depth == 16) {
                for (std::size_t x = 0; x < std::size_t(width); ++x)
                    d[x] = uint8_t((be16(s + 2 * x) * 255u + 32767u) / 65535u);
            } else {
                std::memcpy(d, s, std::size_t(width));
            }
        }
    }

    const std::size_t n = std::size_t(width) * std::size_t(height);
    const uint8_t* p0 = planes.data();
    const auto plane = [&](int c) { return p0 + std::size_t(c) * n; };
    const uint8_t* alpha = used > colourChannels ? plane(colourChannels) : nullptr;
    uint8_t* d = image.pixels.data();
    switch (mode) {
        case Bitmap:
        case Grey:
        case Duotone:
            for (std::size_t i = 0; i < n; ++i, d += 4) d[0] = d[1] = d[2] = plane(0)[i];
            break;
        case Indexed:
            for (std::size_t i = 0; i < n; ++i, d += 4) {
                const unsigned index = plane(0)[i];
                d[0] = colourData[index];
                d[1] = colourData[256 + index];
                d[2] = colourData[512 + index];
            }
            break;
        case Rgb: {
            const uint8_t *r = plane(0), *g = plane(1), *b = plane(2);
            for (std::size_t i = 0; i < n; ++i, d += 4) {
                d[0] = r[i];
                d[1] = g[i];
                d[2] = b[i];
            }
            break;
        }
        case Cmyk:
            // Stored inverted: 255 is no ink.
            for (std::size_t i = 0; i < n; ++i, d += 4) {
                const unsigned k = plane(3)[i];
                d[0] = uint8_t((plane(0)[i] * k + 127) / 255);
                d[1] = uint8_t((plane(1)[i] * k + 127) / 255);
                d[2] = uint8_t((plane(2)[i] * k + 127) / 255);
            }
            break;
        default:
            for (std::size_t i = 0; i < n; ++i, d += 4)
                labToRgb(plane(0)[i], plane(1)[i], plane(2)[i], d);
            break;
    }
    d = image.pixels.data();
    for (std::size_t i = 0; i < n; ++i, d += 4) d[3] = alpha ? alpha[i] : 255;
    readResolution(resources, resourcesLength, image);
    return true;
}

}  // namespace kv::codecs

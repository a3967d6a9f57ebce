#include "codecs/TPCDGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kv::codecs {

namespace {

constexpr std::size_t SignatureOffset = 0x800;
constexpr std::size_t OrientationOffset = 0xE02;

struct Resolution {
    std::size_t offset;
    int width, height;
};
// Largest first: the base picture, then base/4 and base/16.
constexpr Resolution Resolutions[] = {{0x30000, 768, 512}, {0xB800, 384, 256}, {0x2000, 192, 128}};

inline uint8_t clamp255(double v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// Rotates src (w x h) a quarter turn into dst (h x w): clockwise when cw.
void quarterTurn(const RgbaImage& src, RgbaImage& dst, bool cw) {
    for (int32_t y = 0; y < src.height; ++y) {
        const uint8_t* s = src.row(y);
        for (int32_t x = 0; x < src.width; ++x) {
            const int32_t dx = cw ? src.height - 1 - y : y;
            const int32_t dy = cw ? x : src.width - 1 - x;
            std::memcpy(dst.row(dy) + 4 * dx, s + 4 * x, 4);
        }
    }
}

}  // namespace

bool TPCDGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < SignatureOffset + 8 || std::memcmp(data + SignatureOffset, "PCD_IPI", 7) != 0) {
        error = "not a Photo CD image pack";
        return false;
    }
    const Resolution* chosen = nullptr;
    for (const Resolution& r : Resolutions) {
        const std::size_t bytes = std::size_t(r.width) * r.height * 3 / 2;
        if (size >= r.offset && size - r.offset >= bytes) {
            chosen = &r;
            break;
        }
    }
    if (!chosen) {
        error = "Photo CD image pack holds no whole picture";
        return false;
    }
    const int w = chosen->width, h = chosen->height;
    RgbaImage landscape;
    if (!landscape.allocate(w, h, error)) return false;

    // Each pair of rows: two luma rows of w bytes, then the two chroma rows
    // of w / 2 bytes shared by both.
    const uint8_t* s = data + chosen->offset;
    const std::size_t pairBytes = std::size_t(w) * 3;
    for (int pair = 0; pair < h / 2; ++pair) {
        const uint8_t* luma = s + std::size_t(pair) * pairBytes;
        const uint8_t* c1 = luma + 2 * w;
        const uint8_t* c2 = c1 + w / 2;
        // The chroma of the neighbour pair, for vertical interpolation.
        const int other = std::min(pair + 1, h / 2 - 1);
        const uint8_t* c1n = s + std::size_t(other) * pairBytes + 2 * w;
        const uint8_t* c2n = c1n + w / 2;
        for (int line = 0; line < 2; ++line) {
            uint8_t* d = landscape.row(2 * pair + line);
            for (int x = 0; x < w; ++x, d += 4) {
                // Chroma samples sit at even columns and rows; between them,
                // the mean of the neighbours.
                const int cx = x / 2, cxn = std::min(cx + 1, w / 2 - 1);
                auto sample = [&](const uint8_t* a, const uint8_t* b) {
                    const double here = (x & 1) ? (a[cx] + a[cxn]) / 2.0 : a[cx];
                    if (line == 0) return here;
                    const double below = (x & 1) ? (b[cx] + b[cxn]) / 2.0 : b[cx];
                    return (here + below) / 2;
                };
                const double y = 1.3584 * luma[line * w + x];
                const double cb = 2.2179 * (sample(c1, c1n) - 156);
                const double cr = 1.8215 * (sample(c2, c2n) - 137);
                d[0] = clamp255(y + cr);
                d[1] = clamp255(y - 0.194 * cb - 0.509 * cr);
                d[2] = clamp255(y + cb);
                d[3] = 255;
            }
        }
    }
    // The pack's orientation: 0 as stored, 1 and 3 quarter turns, 2 a half turn.
    const int orientation = size > OrientationOffset ? data[OrientationOffset] & 3 : 0;
    if (orientation == 1 || orientation == 3) {
        if (!image.allocate(h, w, error)) return false;
        quarterTurn(landscape, image, orientation == 3);
    } else {
        image = std::move(landscape);
        if (orientation == 2) {
            uint8_t* p = image.pixels.data();
            for (std::size_t i = 0, j = std::size_t(w) * h - 1; i < j; ++i, --j)
                std::swap_ranges(p + 4 * i, p + 4 * i + 4, p + 4 * j);
        }
    }
    return true;
}

}  // namespace kv::codecs

#include "codecs/FloatTiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace kv::codecs {

namespace {

// The file's bytes as libtiff reads them.
struct Memory {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos = 0;
    std::string error;  // the first error libtiff reported
};

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t n) {
    auto* m = static_cast<Memory*>(handle);
    if (n < 0 || m->pos >= m->size) return 0;
    const uint64_t count = std::min<uint64_t>(uint64_t(n), m->size - m->pos);
    std::memcpy(buffer, m->data + m->pos, std::size_t(count));
    m->pos += count;
    return tmsize_t(count);
}
tmsize_t writeBytes(thandle_t, void*, tmsize_t) {
    return -1;
}
toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(handle);
    const uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    m->pos = base + offset;
    return m->pos;
}
int closeFile(thandle_t) {
    return 0;
}
toff_t sizeOf(thandle_t handle) {
    return static_cast<Memory*>(handle)->size;
}
int mapNothing(thandle_t, void**, toff_t*) {
    return 0;
}
void unmapNothing(thandle_t, void*, toff_t) {}

int keepError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* m = static_cast<Memory*>(user);
    if (m->error.empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, format, args);
        m->error = text;
    }
    return 1;
}
int dropWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct CloseTiff {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The largest block libtiff may allocate for one strip.
constexpr tmsize_t LargestAllocation = tmsize_t(256) << 20;
// The most pixels deflate can pack into one byte of a file, at its best.
constexpr uint64_t MostPerByte = 1032;

}  // namespace

bool FloatTiff::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                       std::string& error) {
    Memory memory{data, size, 0, {}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, &keepError, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &dropWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, LargestAllocation);
    const std::unique_ptr<TIFF, CloseTiff> tiff(
        TIFFClientOpenExt("picture", "rm", &memory, &readBytes, &writeBytes, &seekTo, &closeFile,
                          &sizeOf, &mapNothing, &unmapNothing, options));
    TIFFOpenOptionsFree(options);
    if (!tiff) {
        error = memory.error.empty() ? "not a TIFF file" : memory.error;
        return false;
    }
    TIFF* t = tiff.get();
    uint16_t format = SAMPLEFORMAT_UINT, bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint32_t width = 0, height = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height)) {
        error = "picture size missing";
        return false;
    }
    if (format != SAMPLEFORMAT_IEEEFP || (bits != 32 && bits != 64)) {
        error = "samples are not 32 or 64-bit floating point";
        return false;
    }
    const bool colour = photometric == PHOTOMETRIC_RGB;
    const int colours = colour ? 3 : 1;
    if ((!colour && photometric != PHOTOMETRIC_MINISBLACK &&
         photometric != PHOTOMETRIC_MINISWHITE) ||
        samples < colours || samples > colours + 1) {
        error = "floating-point samples of this kind of picture not read";
        return false;
    }
    if (TIFFIsTiled(t) || (samples > 1 && planar != PLANARCONFIG_CONTIG)) {
        error = "floating-point tiles or separate planes not read";
        return false;
    }
    const uint64_t bytes = uint64_t(width) * height * samples * (bits / 8);
    if (width == 0 || height == 0 || bytes / MostPerByte > size) {
        error = "pixel data runs past the end of the file";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;

    const tmsize_t lineSize = TIFFScanlineSize(t);
    if (lineSize < tmsize_t(std::size_t(width) * samples * (bits / 8))) {
        error = "damaged strip layout";
        return false;
    }
    std::vector<uint8_t> line(static_cast<std::size_t>(lineSize));
    const auto sample = [&](std::size_t i) {
        if (bits == 32) {
            float f;
            std::memcpy(&f, line.data() + 4 * i, 4);
            return double(f);
        }
        double d;
        std::memcpy(&d, line.data() + 8 * i, 8);
        return d;
    };
    const auto readLine = [&](uint32_t y) {
        if (TIFFReadScanline(t, line.data(), y, 0) == 1) return true;
        error = memory.error.empty() ? "damaged pixel data" : memory.error;
        return false;
    };

    double low = 0, high = 1;
    if (!TIFFGetField(t, TIFFTAG_SMINSAMPLEVALUE, &low) ||
        !TIFFGetField(t, TIFFTAG_SMAXSAMPLEVALUE, &high)) {
        // No range given: 0 to 1 when the samples keep to it, else their own.
        low = HUGE_VAL;
        high = -HUGE_VAL;
        for (uint32_t y = 0; y < height; ++y) {
            if (!readLine(y)) return false;
            for (uint32_t x = 0; x < width; ++x)
                for (int c = 0; c < colours; ++c) {
                    const double v = sample(std::size_t(x) * samples + c);
                    if (!std::isfinite(v)) continue;
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
        }
        if (low >= 0 && high <= 1) low = 0, high = 1;
    }
    if (!(high > low)) high = low + 1;
    const auto level = [](double v, double from, double to) {
        if (std::isnan(v)) return uint8_t(0);
        const double unit = std::clamp((v - from) / (to - from), 0.0, 1.0);
        return uint8_t(std::lround(unit * 255));
    };
    const bool inverted = photometric == PHOTOMETRIC_MINISWHITE;
    for (uint32_t y = 0; y < height; ++y) {
        if (!readLine(y)) return false;
        uint8_t* out = image.row(int32_t(y));
        for (uint32_t x = 0; x < width; ++x, out += 4) {
            const std::size_t at = std::size_t(x) * samples;
            for (int c = 0; c < colours; ++c) {
                const uint8_t v = level(sample(at + c), low, high);
                out[c] = inverted ? uint8_t(255 - v) : v;
            }
            if (!colour) out[1] = out[2] = out[0];
            out[3] = samples > colours ? level(sample(at + colours), 0, 1) : 255;
        }
    }
    return true;
}

}  // namespace kv::codecs

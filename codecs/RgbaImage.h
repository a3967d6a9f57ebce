#pragma once
// The picture every decoder of the codec library produces: 8-bit red, green,
// blue and alpha per pixel (straight alpha, 255 = opaque), rows top first,
// no padding between rows. Plain C++ so that the decoders and their fuzz
// targets need no Qt; codecs/QtImage.h turns it into a QImage.

#include <cstdint>
#include <string>
#include <vector>

namespace kv::codecs {

// The largest picture a decoder accepts: 256 megapixels. A header that asks
// for more is refused before anything is allocated.
constexpr int64_t MaxPixels = int64_t(256) << 20;

struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 4 bytes
    // Resolution in dots per inch when the file gives one (0 when it does not).
    double dpiX = 0;
    double dpiY = 0;

    // Sizes the picture to width x height, every pixel transparent black.
    // False, with a reason in error and nothing allocated, when a side is not
    // positive or the picture would pass MaxPixels (computed in 64 bits).
    bool allocate(int64_t newWidth, int64_t newHeight, std::string& error) {
        if (newWidth <= 0 || newHeight <= 0) {
            error = "image size is not positive";
            return false;
        }
        if (newWidth > MaxPixels / newHeight) {
            error = "image is larger than 256 megapixels";
            return false;
        }
        width = static_cast<int32_t>(newWidth);
        height = static_cast<int32_t>(newHeight);
        pixels.assign(static_cast<std::size_t>(newWidth * newHeight) * 4, 0);
        return true;
    }

    uint8_t* row(int32_t y) { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
    const uint8_t* row(int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width * 4;
    }
};

}  // namespace kv::codecs

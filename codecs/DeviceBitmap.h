#pragma once
// Device-independent bitmaps as metafiles embed them: a bitmap header,
// its colour table or masks, then the rows of pixels.

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class DeviceBitmap {
  public:
    // Decodes the bitmap whose header (a 12-byte core header or a 40, 108
    // or 124-byte info header) and colour table are `info` and whose pixel
    // rows are `bits`: 1, 4, 8, 16, 24 or 32 bits a pixel, uncompressed or
    // with bit-field masks, bottom-up or top-down. The picture is opaque
    // (metafile bitmaps carry no alpha). False, with the reason in error,
    // for compressed bitmaps or when a table, a mask or a row lies outside
    // what was given.
    static bool decode(const uint8_t* info, std::size_t infoSize, const uint8_t* bits,
                       std::size_t bitsSize, RgbaImage& image, std::string& error);

    // The size of the header and colour table of a packed bitmap (header,
    // table and rows one after the other); 0 when the header is damaged.
    static std::size_t infoSize(const uint8_t* info, std::size_t size);
};

}  // namespace kv::codecs

#pragma once
// Truevision Targa pictures (.tga .win .vst .vda .icb).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TTargaGraphic {
  public:
    // Decodes a colour-mapped, true-colour or greyscale picture, plain
    // (types 1, 2, 3) or run-length encoded (9, 10, 11): 8, 15, 16, 24 or
    // 32 bits a pixel, colour maps of 15, 16, 24 or 32-bit entries, any of the
    // four origins. Alpha comes from the descriptor's attribute bits (the top
    // bit of a 16-bit pixel, the fourth byte of a 32-bit one); a picture
    // whose alpha is zero everywhere is shown opaque. False, with the reason
    // in error, for anything else or for damaged data; image is then
    // unspecified.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

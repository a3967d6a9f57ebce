#pragma once
// Autodesk Animator cels and pictures (.cel .pic).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TAutodeskGraphic {
  public:
    // Decodes the Animator cel/pic layout: a 32-byte header (magic 0x9119,
    // width, height, position, 8 bits a pixel, no compression), a 768-byte
    // palette of 6-bit VGA levels (scaled to 8 bits), then the indexed
    // pixels, top row first. False, with the reason in error, for anything
    // else or for damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

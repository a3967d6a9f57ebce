#pragma once
// Kodak Photo CD image packs (.pcd).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TPCDGraphic {
  public:
    // Decodes the base picture (768 x 512) of an image pack, or the largest
    // of the smaller ones (384 x 256, 192 x 128) when the file is cut short
    // before it: luma rows in pairs followed by one row of each chroma
    // plane at half resolution, up-sampled, and PhotoYCC turned to RGB. The
    // picture is turned to portrait as the pack's header says. False, with
    // the reason in error, when the file is no image pack or holds no whole
    // picture.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

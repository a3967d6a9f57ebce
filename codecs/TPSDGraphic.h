#pragma once
// Photoshop pictures (.psd .pdd).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TPSDGraphic {
  public:
    // Decodes the composite (merged) picture of a version 1 file, or of a
    // version 2 large-document file: bitmap, greyscale, duotone (as grey),
    // indexed, RGB, CMYK and Lab at 8 and 16 bits a channel (bitmap at 1),
    // raw or PackBits. The first channel past the mode's colour channels is
    // taken as alpha, as stored. The layer section is skipped by its length; the
    // resolution resource gives the picture's dots per inch. False, with
    // the reason in error, for other modes and depths or damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

#pragma once
// Dr. Halo run-length pictures (.cut) and their palette files (.pal).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TCUTGraphic {
  public:
    // Decodes a picture: width, height and a reserved word (little-endian),
    // then per row a 2-byte length and run-length encoded 8-bit indices.
    // The colours come from the companion palette file's bytes (palette,
    // paletteSize) when it is given and valid; with no palette (nullptr or
    // a size of 0) the indices are shown as a grey ramp stretched over the
    // largest index the picture uses. False, with the reason in error, for
    // damaged data or a palette file that is not one.
    static bool decode(const uint8_t* data, std::size_t size, const uint8_t* palette,
                       std::size_t paletteSize, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

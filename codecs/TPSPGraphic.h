#pragma once
// Paint Shop Pro pictures (.psp), major versions 4 and later.

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TPSPGraphic {
  public:
    // Decodes the merged picture of the composite image bank when the file
    // holds one, else the first raster layer, placed at its rectangle on
    // the canvas (the rest transparent). Channels are 8-bit: red, green and
    // blue for 24-bit pictures, palette indices (or grey) for 8-bit ones,
    // with the transparency mask as alpha; each uncompressed, run-length
    // encoded or LZ77 (a zlib stream). Blocks the decoder does not need are
    // skipped by their length. False, with the reason in error, for other
    // depths, JPEG composites, older versions or damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

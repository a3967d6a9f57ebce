#pragma once
// SGI pictures (.sgi .rgb .rgba .bw).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TSGIGraphic {
  public:
    // Decodes verbatim and run-length encoded pictures of 1 or 2 bytes a
    // channel (2-byte channels keep their high byte) and 1 to 4 channels:
    // grey, grey and alpha, RGB, RGBA (channels past the fourth are
    // ignored). Rows are stored bottom first. False, with the reason in
    // error, for colour-mapped variants or damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

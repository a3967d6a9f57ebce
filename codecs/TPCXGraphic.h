#pragma once
// ZSoft Paintbrush pictures (.pcx .pcc .scr).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TPCXGraphic {
  public:
    // Decodes versions 0 to 5, run-length encoded or plain: 1-bit
    // monochrome, 2 and 4-bit packed and 1-bit planar (2 to 4 planes) with
    // the 16-colour header palette (the standard EGA palette for versions 0
    // and 3, which carry none), 8-bit with the 256-colour palette that
    // follows the 0x0C marker at the end (a grey ramp when it is missing),
    // and 24 or 32-bit as three or four 8-bit planes. False, with the reason
    // in error, for anything else or for damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

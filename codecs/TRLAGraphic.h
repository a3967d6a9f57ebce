#pragma once
// Wavefront/Alias run-length pictures (.rla .rpf).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TRLAGraphic {
  public:
    // Decodes the active window of the picture: a 740-byte header, a table
    // of scan-line offsets (bottom line first), and per scan line each
    // channel as a 2-byte length and run-length encoded bytes. Colour
    // channels (one, grey, or three, RGB) and the first matte channel (as
    // alpha) of 1 to 16 bits are read; a channel of more than 8 bits is two
    // bytes a pixel, high byte first. Auxiliary channels are skipped by
    // their length. False, with the reason in error, for anything else or
    // for damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

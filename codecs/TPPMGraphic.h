#pragma once
// Portable bitmaps, graymaps and pixmaps (.pbm .pgm .ppm).

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class TPPMGraphic {
  public:
    // Decodes the six kinds whatever the file's extension says: P1 to P3,
    // whose samples are written as decimal text, and P4 to P6, whose samples
    // are bytes (1 bit a pixel, rows padded to a byte, for P4; one byte, or
    // two high byte first when the largest value passes 255, for P5 and P6).
    // Comments ("#" to the end of the line) may stand anywhere in the header.
    // Plain bitmaps take their digits with or without blanks between them.
    // Samples are scaled from the file's largest value (1 to 65535) to 8
    // bits, rounded; in a bitmap 1 is black. Only the first picture of a
    // file holding several is read. False, with the reason in error, for
    // another format, a damaged header, a sample past the largest value or
    // pixels missing at the end.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

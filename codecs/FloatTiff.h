#pragma once
// TIFF pictures whose samples are floating-point numbers (a scientific
// camera's, a renderer's grey or colour output), which Qt's TIFF reader
// refuses. Read through libtiff over the file's bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

class FloatTiff {
  public:
    // Decodes the first picture of a TIFF file whose samples are 32 or 64-bit
    // floating point, stored in strips with any compression libtiff reads (and
    // the floating-point predictor), one sample after the other: grey (black
    // or white at zero), grey and alpha, RGB, RGB and alpha. Colour samples
    // are mapped from the file's sample range (SMinSampleValue to
    // SMaxSampleValue) to 0..255; a file that gives none takes 0 to 1 when
    // every sample lies there, else its own smallest to largest sample. Alpha
    // is taken from 0 to 1. Not-a-number shows as 0. False, with the reason
    // in error, for a TIFF of integer samples, tiles or separate planes, or
    // damaged data.
    static bool decode(const uint8_t* data, std::size_t size, RgbaImage& image, std::string& error);
};

}  // namespace kv::codecs

#pragma once
// The body of the fuzz targets of the picture decoders: the input is one
// whole file; whatever it holds, the decoder must answer true or false
// without reading outside it, and a picture it accepts must be whole.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "codecs/RgbaImage.h"

namespace kvfuzz {

template <class Decode>
int decodePicture(const uint8_t* data, size_t size, Decode decode) {
    kv::codecs::RgbaImage image;
    std::string error;
    if (decode(data, size, image, error)) {
        const size_t expected = size_t(image.width) * size_t(image.height) * 4;
        if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) std::abort();
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
    return 0;
}

}  // namespace kvfuzz

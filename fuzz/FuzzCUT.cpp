// Fuzz target: TCUTGraphic::decode. The input is a 2-byte little-endian
// length n, n bytes of palette file (none when n is 0), then the picture.

#include "codecs/TCUTGraphic.h"
#include "fuzz/FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t n = data[0] | size_t(data[1]) << 8;
    if (n > size - 2) return 0;
    const uint8_t* palette = data + 2;
    return kvfuzz::decodePicture(
        data + 2 + n, size - 2 - n,
        [&](const uint8_t* d, size_t s, kv::codecs::RgbaImage& image, std::string& error) {
            return kv::codecs::TCUTGraphic::decode(d, s, n ? palette : nullptr, n, image, error);
        });
}

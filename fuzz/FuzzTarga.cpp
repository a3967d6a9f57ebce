// Fuzz target: TTargaGraphic::decode over one whole file.

#include "codecs/TTargaGraphic.h"
#include "fuzz/FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kvfuzz::decodePicture(data, size, &kv::codecs::TTargaGraphic::decode);
}

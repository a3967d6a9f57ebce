// Fuzz target: TPPMGraphic::decode over one whole file.

#include "codecs/TPPMGraphic.h"
#include "fuzz/FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kvfuzz::decodePicture(data, size, &kv::codecs::TPPMGraphic::decode);
}

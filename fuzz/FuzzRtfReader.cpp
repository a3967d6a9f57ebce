// Fuzz target: the RTF reader over any bytes, and the writer over what it
// read, whose output must read back to the same text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "util/RtfReader.h"
#include "util/RtfWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kv::rtf::Document doc = kv::rtf::readRtf(bytes);
    const std::string written = kv::rtf::writeRtf(doc);
    if (kv::rtf::readRtf(written).plainText() != doc.plainText()) std::abort();
    return 0;
}

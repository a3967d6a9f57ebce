#include "codecs/TAutodeskGraphic.h"

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t HeaderSize = 32;
constexpr std::size_t PaletteSize = 768;

}  // namespace

bool TAutodeskGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                              std::string& error) {
    if (size < HeaderSize + PaletteSize || le16(data) != 0x9119) {
        error = "not an Autodesk Animator cel or picture";
        return false;
    }
    const int64_t width = le16(data + 2), height = le16(data + 4);
    const int depth = data[10], compression = data[11];
    if (depth != 8 || compression != 0) {
        error = "Autodesk picture depth or compression not supported";
        return false;
    }
    if (width <= 0 || height <= 0) {
        error = "Autodesk picture is empty";
        return false;
    }
    const uint64_t count = uint64_t(width) * uint64_t(height);
    if (size - HeaderSize - PaletteSize < count) {
        error = "Autodesk pixel data runs past the end of the file";
        return false;
    }
    uint8_t palette[PaletteSize];
    const uint8_t* p = data + HeaderSize;
    for (std::size_t i = 0; i < PaletteSize; ++i) {
        // VGA levels 0 to 63; a stray high bit is ignored as the card did.
        const unsigned v = p[i] & 63u;
        palette[i] = uint8_t(v << 2 | v >> 4);
    }
    if (!image.allocate(width, height, error)) return false;
    const uint8_t* s = p + PaletteSize;
    uint8_t* d = image.pixels.data();
    for (uint64_t i = 0; i < count; ++i, d += 4) {
        const unsigned index = s[i];
        d[0] = palette[3 * index];
        d[1] = palette[3 * index + 1];
        d[2] = palette[3 * index + 2];
        d[3] = 255;
    }
    return true;
}

}  // namespace kv::codecs

#include "codecs/TRLAGraphic.h"

#include <algorithm>
#include <vector>

#include "codecs/ByteReader.h"

namespace kv::codecs {

namespace {

constexpr std::size_t HeaderSize = 740;

// Unpacks one channel's run-length bytes (n of them) into exactly `want`
// bytes: a count byte from 0 to 127 repeats the next byte count + 1 times;
// a negative one is followed by -count bytes taken as they are.
bool unpack(const uint8_t* s, std::size_t n, uint8_t* out, std::size_t want) {
    std::size_t i = 0, o = 0;
    while (o < want) {
        if (i >= n) return false;
        // The count byte is signed: a negative one announces literal bytes.
        const int count = int8_t(s[i++]);  // NOLINT(bugprone-signed-char-misuse)
        if (count >= 0) {
            const std::size_t run = std::size_t(count) + 1;
            if (i >= n || run > want - o) return false;
            std::fill(out + o, out + o + run, s[i++]);
            o += run;
        } else {
            const std::size_t literal = std::size_t(-count);
            if (literal > n - i || literal > want - o) return false;
            std::copy(s + i, s + i + literal, out + o);
            i += literal;
            o += literal;
        }
    }
    return true;
}

inline int16_t s16(const uint8_t* p) {
    return int16_t(be16(p));
}

}  // namespace

bool TRLAGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < HeaderSize) {
        error = "file too short for an RLA header";
        return false;
    }
    const int64_t left = s16(data + 8), right = s16(data + 10);
    const int64_t bottom = s16(data + 12), top = s16(data + 14);
    const int colours = s16(data + 20), mattes = s16(data + 22), aux = s16(data + 24);
    int colourBits = s16(data + 658);
    int matteBits = s16(data + 662);
    const int64_t width = right - left + 1, height = top - bottom + 1;
    if (colours < 1 || colours > 32 || mattes < 0 || mattes > 32 || aux < 0 || aux > 32) {
        error = "RLA channel counts not accepted";
        return false;
    }
    if (colourBits == 0) colourBits = 8;
    if (matteBits == 0) matteBits = colourBits;
    if (colourBits < 1 || colourBits > 16 || matteBits < 1 || matteBits > 16) {
        error = "RLA channel depth not supported";
        return false;
    }
    if (width <= 0 || height <= 0 || width > MaxPixels / height) {
        error = "RLA picture size not accepted";
        return false;
    }
    if (HeaderSize + uint64_t(height) * 4 > size) {
        error = "RLA scan-line table runs past the end of the file";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;

    const int colourBytes = colourBits > 8 ? 2 : 1, matteBytes = matteBits > 8 ? 2 : 1;
    const int wanted = colours >= 3 ? 3 : 1;
    std::vector<uint8_t> channel(std::size_t(width) * 2);
    const uint8_t* table = data + HeaderSize;
    for (int64_t line = 0; line < height; ++line) {
        ByteReader in(data, size);
        if (!in.seek(be32(table + 4 * line))) {
            error = "RLA scan line lies outside the file";
            return false;
        }
        uint8_t* d = image.row(int32_t(height - 1 - line));
        for (int c = 0; c < colours + (mattes > 0 ? 1 : 0); ++c) {
            const bool matte = c >= colours;
            uint16_t length;
            const uint8_t* s = in.be16(length) ? in.take(length) : nullptr;
            if (!s) {
                error = "RLA channel runs past the end of the file";
                return false;
            }
            if (!matte && c >= wanted) continue;
            const int bytes = matte ? matteBytes : colourBytes;
            const int bits = matte ? matteBits : colourBits;
            const std::size_t want = std::size_t(width) * std::size_t(bytes);
            if (!unpack(s, length, channel.data(), want)) {
                error = "RLA run-length channel is damaged";
                return false;
            }
            const unsigned max = (1u << bits) - 1;
            const int target = matte ? 3 : c;
            for (std::size_t x = 0; x < std::size_t(width); ++x) {
                unsigned v = bytes == 2 ? be16(&channel[2 * x]) : channel[x];
                v = v >= max ? 255 : (v * 255 + max / 2) / max;
                d[4 * x + std::size_t(target)] = uint8_t(v);
                if (wanted == 1 && !matte) d[4 * x + 1] = d[4 * x + 2] = uint8_t(v);
                if (mattes == 0 && c == 0) d[4 * x + 3] = 255;
            }
        }
    }
    return true;
}

}  // namespace kv::codecs

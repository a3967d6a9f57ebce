#include "codecs/TPPMGraphic.h"

namespace kv::codecs {

namespace {

bool isBlank(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text parts of a file: the header, and the samples of the plain kinds.
class TextCursor {
  public:
    TextCursor(const uint8_t* data, std::size_t size, std::size_t pos)
        : data_(data), size_(size), pos_(pos) {}

    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return size_ - pos_; }

    // Blanks and comments ("#" to the end of the line).
    void skipBlanks() {
        while (pos_ < size_) {
            if (isBlank(data_[pos_])) {
                ++pos_;
            } else if (data_[pos_] == '#') {
                while (pos_ < size_ && data_[pos_] != '\n' && data_[pos_] != '\r') ++pos_;
            } else {
                break;
            }
        }
    }
    // A decimal number of at most `largest`; false for anything else.
    bool number(uint32_t largest, uint32_t& value) {
        skipBlanks();
        if (pos_ >= size_ || data_[pos_] < '0' || data_[pos_] > '9') return false;
        uint64_t v = 0;
        while (pos_ < size_ && data_[pos_] >= '0' && data_[pos_] <= '9') {
            v = v * 10 + (data_[pos_++] - '0');
            if (v > largest) return false;
        }
        value = uint32_t(v);
        return true;
    }
    // One pixel of a plain bitmap: a single digit, blanks before it or not.
    bool bit(uint8_t& value) {
        skipBlanks();
        if (pos_ >= size_ || (data_[pos_] != '0' && data_[pos_] != '1')) return false;
        value = uint8_t(data_[pos_++] - '0');
        return true;
    }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
};

}  // namespace

bool TPPMGraphic::decode(const uint8_t* data, std::size_t size, RgbaImage& image,
                         std::string& error) {
    if (size < 2 || data[0] != 'P' || data[1] < '1' || data[1] > '6') {
        error = "not a portable bitmap, graymap or pixmap";
        return false;
    }
    const int kind = data[1] - '0';
    const bool plain = kind <= 3;
    const bool bitmap = kind == 1 || kind == 4;
    const int channels = kind == 3 || kind == 6 ? 3 : 1;

    TextCursor text(data, size, 2);
    uint32_t width = 0, height = 0, largest = 1;
    if (!text.number(UINT32_MAX >> 1, width) || !text.number(UINT32_MAX >> 1, height) ||
        (!bitmap && !text.number(65535, largest))) {
        error = "damaged header";
        return false;
    }
    if (largest == 0) {
        error = "largest sample value is 0";
        return false;
    }
    if (uint64_t(width) * height > uint64_t(MaxPixels)) {
        error = "image is larger than 256 megapixels";
        return false;
    }
    const bool wide = largest > 255;
    const uint64_t samples = uint64_t(width) * height * channels;
    std::size_t start = text.pos();
    if (!plain) {
        // One blank ends the header; the samples follow it at once.
        if (start >= size || !isBlank(data[start])) {
            error = "damaged header";
            return false;
        }
        ++start;
    }
    // The file must be able to hold the picture before it is allocated: each
    // plain sample takes a character at least (and a blank between numbers).
    const uint64_t least = kind == 1   ? samples
                           : plain     ? samples * 2 - (samples > 0)
                           : kind == 4 ? (uint64_t(width) + 7) / 8 * height
                                       : samples * (wide ? 2 : 1);
    if (least > size - start) {
        error = "pixel data runs past the end of the file";
        return false;
    }
    if (!image.allocate(width, height, error)) return false;

    const auto level = [largest](uint32_t v) {
        return uint8_t((v * 255u + largest / 2) / largest);
    };
    uint8_t* out = image.pixels.data();
    const std::size_t pixels = std::size_t(width) * height;
    if (kind == 1) {
        for (std::size_t i = 0; i < pixels; ++i, out += 4) {
            uint8_t b;
            if (!text.bit(b)) {
                error = "pixel data ends before the picture is complete";
                return false;
            }
            out[0] = out[1] = out[2] = b ? 0 : 255;
            out[3] = 255;
        }
    } else if (plain) {
        for (std::size_t i = 0; i < pixels; ++i, out += 4) {
            for (int c = 0; c < channels; ++c) {
                uint32_t v;
                if (!text.number(largest, v)) {
                    error = "sample missing or past the largest value";
                    return false;
                }
                out[c] = level(v);
            }
            if (channels == 1) out[1] = out[2] = out[0];
            out[3] = 255;
        }
    } else if (kind == 4) {
        const std::size_t rowBytes = (std::size_t(width) + 7) / 8;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = data + start + y * rowBytes;
            for (uint32_t x = 0; x < width; ++x, out += 4) {
                const bool black = (row[x / 8] >> (7 - x % 8)) & 1;
                out[0] = out[1] = out[2] = black ? 0 : 255;
                out[3] = 255;
            }
        }
    } else {
        const uint8_t* s = data + start;
        for (std::size_t i = 0; i < pixels; ++i, out += 4) {
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = wide ? uint32_t(s[0] << 8 | s[1]) : s[0];
                s += wide ? 2 : 1;
                if (v > largest) {
                    error = "sample past the largest value";
                    return false;
                }
                out[c] = level(v);
            }
            if (channels == 1) out[1] = out[2] = out[0];
            out[3] = 255;
        }
    }
    return true;
}

}  // namespace kv::codecs

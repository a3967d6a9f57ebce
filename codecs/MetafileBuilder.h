#pragma once
// What the two metafile readers share: the picture's size rules and the
// builder that appends commands, points, text and decoded bitmaps to a
// MetafilePicture.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "codecs/ByteReader.h"
#include "codecs/DeviceBitmap.h"
#include "codecs/TMetafile.h"

namespace kv::codecs::metafile {

inline constexpr double PixelsPerInch = 96;
// A picture drawn larger than this on a side is drawn smaller, keeping its shape.
inline constexpr double LargestSide = 4096;
// The pixels of every bitmap of one metafile together.
inline constexpr int64_t BitmapBudget = MaxPixels;

// Windows-1252 for the bytes 0x80 to 0x9F; the others are Latin-1.
inline constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

class Builder {
  public:
    explicit Builder(MetafilePicture& picture) : p_(picture) {}

    MetaRecord& add(MetaOp op, std::initializer_list<int32_t> values = {}) {
        MetaRecord r;
        r.op = op;
        std::copy(values.begin(), values.begin() + std::min<std::size_t>(values.size(), 8), r.v);
        p_.records.push_back(r);
        return p_.records.back();
    }
    void addPoint(int32_t x, int32_t y) { p_.points.push_back({x, y}); }
    uint32_t pointMark() const { return uint32_t(p_.points.size()); }
    void addCount(uint32_t n) { p_.counts.push_back(n); }
    uint32_t countMark() const { return uint32_t(p_.counts.size()); }
    // Appends text, returning where it starts.
    uint32_t addAnsi(const uint8_t* s, std::size_t n) {
        const uint32_t at = uint32_t(p_.text.size());
        for (std::size_t i = 0; i < n; ++i)
            p_.text.push_back(s[i] >= 0x80 && s[i] < 0xA0 ? Cp1252High[s[i] - 0x80]
                                                          : char16_t(s[i]));
        return at;
    }
    uint32_t addWide(const uint8_t* s, std::size_t n) {
        const uint32_t at = uint32_t(p_.text.size());
        for (std::size_t i = 0; i < n; ++i) p_.text.push_back(char16_t(le16(s + 2 * i)));
        return at;
    }
    uint32_t textMark() const { return uint32_t(p_.text.size()); }
    // Decodes a bitmap; -1 when it cannot be read or the budget is spent.
    int32_t addBitmap(const uint8_t* info, std::size_t infoSize, const uint8_t* bits,
                      std::size_t bitsSize) {
        RgbaImage image;
        std::string ignored;
        if (!DeviceBitmap::decode(info, infoSize, bits, bitsSize, image, ignored)) return -1;
        const int64_t pixels = int64_t(image.width) * image.height;
        if (pixels > budget_) return -1;
        budget_ -= pixels;
        p_.images.push_back(std::move(image));
        return int32_t(p_.images.size() - 1);
    }
    // A packed bitmap: header, table and rows one after the other.
    int32_t addPackedBitmap(const uint8_t* s, std::size_t n) {
        const std::size_t info = DeviceBitmap::infoSize(s, n);
        return info ? addBitmap(s, info, s + info, n - info) : -1;
    }

  private:
    MetafilePicture& p_;
    int64_t budget_ = BitmapBudget;
};

inline bool bottomUp(const uint8_t* info, std::size_t n) {
    if (n < 12) return true;
    return le32(info) == 12 || int32_t(le32(info + 8)) > 0;
}

// The source rectangle of a bitmap whose rows were stored bottom-up, turned
// into top-down rows of the decoded picture.
inline void flipSource(MetaRecord& r, const MetafilePicture& p, bool rowsBottomUp) {
    if (r.image < 0 || !rowsBottomUp) return;
    const int32_t h = p.images[std::size_t(r.image)].height;
    r.v[5] = h - r.v[5] - r.v[7];
}

// Reads an enhanced metafile (its header already recognised) into p.
bool readEnhanced(const uint8_t* data, std::size_t size, MetafilePicture& p, std::string& error);

}  // namespace kv::codecs::metafile

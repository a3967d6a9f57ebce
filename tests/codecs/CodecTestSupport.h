#pragma once
// What the codec tests share: the fixture folder, reading a fixture (gunzipped
// when it ends in .gz), each pure decoder by extension, and comparing a
// decoded picture with the PNG it must match.

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/RgbaImage.h"

namespace kvtest {

QString fixturePath(const QString& name);
std::vector<uint8_t> readFixture(const QString& name);

// The pure decoder of the extension (without the dot, lower case; "cut"
// decodes without a palette); false with an error for an unknown one.
bool decodeByExtension(const std::string& extension, const std::vector<uint8_t>& bytes,
                       kv::codecs::RgbaImage& image, std::string& error);

struct Difference {
    bool sameSize = false;
    int largest = 0;      // the largest difference of one channel
    double outliers = 0;  // share of pixels with a channel more than `slack` apart
};
// Compares after putting both pictures over white, so that fully
// transparent pixels compare equal whatever colour they keep. Sizes may
// differ by sizeSlack pixels a side, and then their common top-left part is
// compared.
Difference compare(const QImage& decoded, const QImage& expected, int slack, int sizeSlack = 0);
QImage toImage(const kv::codecs::RgbaImage& image);
// The correlation of the luma of two pictures of one size (1 when one is a
// linear function of the other, near 0 when they are unrelated, for example
// one turned against the other).
double lumaCorrelation(const QImage& a, const QImage& b);

}  // namespace kvtest

// Metafiles built record by record: mapping, objects, saved states,
// clipping, bitmaps and records the reader does not know, played at the
// picture's own size. Also the Dr. Halo loader's palette beside the file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "codecs/CodecClasses.h"
#include "codecs/CodecTestSupport.h"
#include "codecs/MetafilePlayer.h"
#include "codecs/TMetafile.h"

namespace {

using namespace kvtest;

struct Bytes : std::vector<uint8_t> {
    void u16(unsigned v) { push_back(uint8_t(v)), push_back(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
    void set32(std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) (*this)[at + std::size_t(i)] = uint8_t(v >> (8 * i));
    }
};

// A placeable metafile of `records`, each a function and its parameter words.
Bytes wmf(std::initializer_list<std::pair<unsigned, std::vector<int>>> records, int box, int inch) {
    Bytes b;
    b.u32(0x9AC6CDD7);
    for (unsigned v : {0u, 0u, 0u, unsigned(box), unsigned(box), unsigned(inch), 0u, 0u}) b.u16(v);
    uint16_t sum = 0;
    for (std::size_t i = 0; i < 20; i += 2) sum ^= uint16_t(b[i] | b[i + 1] << 8);
    b.u16(sum);
    b.u16(1), b.u16(9), b.u16(0x300), b.u32(0), b.u16(4), b.u32(0), b.u16(0);
    for (const auto& [function, params] : records) {
        b.u32(uint32_t(3 + params.size()));
        b.u16(function);
        for (int p : params) b.u16(unsigned(p) & 0xFFFF);
    }
    b.u32(3), b.u16(0);
    return b;
}

QImage play(const Bytes& file) {
    kv::codecs::MetafilePicture picture;
    std::string error;
    EXPECT_TRUE(kv::codecs::TMetafile::decode(file.data(), file.size(), picture, error)) << error;
    return kv::codecs::MetafilePlayer::play(picture);
}

TEST(Metafile, PlaceableMetafileMapsItsWindowOntoThePicture) {
    const int red = 0x0000FF, blue = 0xFF0000;
    const QImage image = play(wmf(
        {
            {0x020B, {0, 0}},                           // window origin (y, x)
            {0x020C, {1000, 1000}},                     // window extent
            {0x02FC, {0, red & 0xFFFF, red >> 16, 0}},  // solid red brush: slot 0
            {0x012D, {0}},
            {0x02FA, {5, 0, 0, 0, 0}},  // no pen: slot 1
            {0x012D, {1}},
            {0x0999, {7, 7, 7}},          // unknown: skipped by its length
            {0x001E, {}},                 // save
            {0x0416, {1000, 500, 0, 0}},  // clip to the left half (bottom, right, top, left)
            {0x041B, {500, 1000, 0, 0}},  // the top half, clipped
            {0x0127, {-1}},               // restore: no clip
            {0x01F0, {0}},                // delete the red brush; slot 0 is free again
            {0x02FC, {0, blue & 0xFFFF, blue >> 16, 0}},
            {0x012D, {0}},
            {0x041B, {1000, 1000, 750, 0}},  // the bottom quarter, blue
        },
        1000, 1000));
    ASSERT_EQ(image.size(), QSize(96, 96));  // 1000 units at 1000 an inch, at 96 dots per inch
    EXPECT_EQ(image.pixelColor(20, 20), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(70, 20).alpha(), 0);
    EXPECT_EQ(image.pixelColor(20, 60).alpha(), 0);
    EXPECT_EQ(image.pixelColor(70, 90), QColor(0, 0, 255));
}

// An enhanced metafile: header, anisotropic mapping, a 2 x 2 bottom-up
// bitmap stretched over the picture, an unknown record, the end.
Bytes emfWithBitmap() {
    Bytes b;
    b.u32(1), b.u32(88);
    for (int v : {0, 0, 47, 47, 0, 0, 1270, 1270}) b.u32(uint32_t(v));  // bounds, frame (0.01 mm)
    b.u32(0x464D4520), b.u32(0x10000), b.u32(0), b.u32(0), b.u16(1), b.u16(0);
    b.u32(0), b.u32(0), b.u32(0), b.u32(960), b.u32(960), b.u32(254), b.u32(254);
    const auto record = [&](uint32_t type, std::initializer_list<uint32_t> values) {
        b.u32(type), b.u32(uint32_t(8 + 4 * values.size()));
        for (uint32_t v : values) b.u32(v);
    };
    record(17, {8});        // anisotropic
    record(9, {100, 100});  // window extent
    record(11, {48, 48});   // viewport extent: 100 units are the 48 pixels of the frame
    record(0x7777, {1, 2, 3});
    const std::size_t at = b.size();
    b.u32(81), b.u32(0);
    for (int i = 0; i < 4; ++i) b.u32(0);
    for (uint32_t v : {0u, 0u, 0u, 0u, 2u, 2u, 80u, 40u, 120u, 16u, 0u, 0xCC0020u, 100u, 100u})
        b.u32(v);
    b.u32(40), b.u32(2), b.u32(2), b.u16(1), b.u16(24);
    for (int i = 0; i < 6; ++i) b.u32(0);
    // rows bottom first, blue-green-red, padded to 4 bytes: red green / blue white
    for (uint8_t v : {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}) b.push_back(v);
    b.set32(at + 4, uint32_t(b.size() - at));
    record(14, {0, 16, 20});
    return b;
}

TEST(Metafile, EnhancedMetafileStretchesABitmapTheRightWayUp) {
    const QImage image = play(emfWithBitmap());
    ASSERT_EQ(image.size(), QSize(48, 48));  // 12.7 mm at 96 dots per inch
    EXPECT_EQ(image.pixelColor(10, 10), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(38, 10), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(10, 38), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(38, 38), QColor(0, 255, 0));
}

TEST(Metafile, DrawingRecordsThatDoNotFitAreSkipped) {
    // A polygon claiming 1000 points in a record of 3 words, then a rectangle.
    const QImage image = play(
        wmf({{0x020C, {100, 100}}, {0x0324, {1000, 1, 2}}, {0x041B, {100, 100, 0, 0}}}, 100, 96));
    ASSERT_EQ(image.size(), QSize(100, 100));
    EXPECT_EQ(image.pixelColor(50, 50), QColor(255, 255, 255));  // the default white brush
}

// The row near y that holds the most dark pixels: a drawn line.
int lineNear(const QImage& image, int y) {
    int best = y, most = -1;
    for (int row = std::max(y - 3, 0); row <= std::min(y + 3, image.height() - 1); ++row) {
        int dark = 0;
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, row)) < 128;
        if (dark > most) best = row, most = dark;
    }
    return best;
}

// The gaps along a line of the picture: runs of light pixels between dark ones.
int gapsAlong(const QImage& image, int y) {
    y = lineNear(image, y);
    int gaps = 0;
    bool dark = false, seenDark = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool d = qGray(image.pixel(x, y)) < 128;
        if (d && !dark && seenDark) ++gaps;
        seenDark = seenDark || d;
        dark = d;
    }
    return gaps;
}

TEST(Metafile, PensWithTheirOwnDashesAreDrawnDashed) {
    // Inkscape's dashed strokes: extended pens of a user style (12 on, 6 off
    // at 4 pixels wide; 20, 4, 4, 4 at 2 pixels).
    QImage image;
    QString error;
    ASSERT_TRUE(kv::codecs::TMetafileClass.load(fixturePath("inkscape_dashes.emf"), image, error))
        << error.toStdString();
    const QImage expected(fixturePath("inkscape_dashes.png"));
    ASSERT_FALSE(expected.isNull());
    for (const int y : {12, 30}) {
        EXPECT_GE(gapsAlong(expected, y), 5) << "row " << y;
        EXPECT_NEAR(gapsAlong(image, y), gapsAlong(expected, y), 1) << "row " << y;
    }
}

TEST(DrHaloLoader, FindsThePaletteBesideThePictureInAnyCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(fixturePath("gen_cut.cut"), dir.filePath("photo.cut")));
    QImage image;
    QString error;
    ASSERT_TRUE(kv::codecs::TCUTGraphicClass.load(dir.filePath("photo.cut"), image, error));
    EXPECT_LE(compare(image, QImage(fixturePath("gen_cut_grey.png")), 0).outliers, 0.0);

    ASSERT_TRUE(QFile::copy(fixturePath("GEN_CUT.PAL"), dir.filePath("Photo.Pal")));
    ASSERT_TRUE(kv::codecs::TCUTGraphicClass.load(dir.filePath("photo.cut"), image, error));
    EXPECT_LE(compare(image, QImage(fixturePath("gen_cut.png")), 0).outliers, 0.0);
}

TEST(DecoderClasses, ReportAFileThatCannotBeRead) {
    QImage image;
    QString error;
    EXPECT_FALSE(kv::codecs::TTargaGraphicClass.load(QStringLiteral("/nonexistent/picture.tga"),
                                                     image, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot open"))) << error.toStdString();
    EXPECT_STREQ(kv::codecs::TPSPGraphicClass.name, "TPSPGraphic");
}

}  // namespace

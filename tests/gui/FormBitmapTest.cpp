// The picture holder: the eighteen toolbar pictures in their two depths, and
// ImageList1 with four status icons that read apart.

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>

#include "gui/FormBitmap.h"

using kv::TFormBitmap;

namespace {

bool drawsSomething(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return true;
    return false;
}

TEST(FormBitmap, HoldsNineToolbarPicturesInTwoDepths) {
    QSet<QByteArray> distinct;
    for (int glyph = 0; glyph < TFormBitmap::GlyphCount; ++glyph) {
        for (bool high : {true, false}) {
            const QPixmap picture = TFormBitmap::toolbarGlyph(glyph, high);
            const int side =
                high ? TFormBitmap::HighColourGlyphSize : TFormBitmap::LowColourGlyphSize;
            ASSERT_EQ(picture.size(), QSize(side, side)) << glyph;
            const QImage image = picture.toImage();
            EXPECT_TRUE(drawsSomething(image)) << glyph;
            distinct.insert(
                QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
    }
    EXPECT_EQ(distinct.size(), 2 * TFormBitmap::GlyphCount);
    EXPECT_TRUE(TFormBitmap::toolbarGlyph(TFormBitmap::GlyphCount, true).isNull());
    EXPECT_TRUE(TFormBitmap::toolbarGlyph(-1, false).isNull());
}

TEST(FormBitmap, TheSixteenColourSetUsesOnlyThePaletteAndNoBlending) {
    static const QSet<QRgb> vga = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    for (int glyph = 0; glyph < TFormBitmap::GlyphCount; ++glyph) {
        const QImage image = TFormBitmap::toolbarGlyph(glyph, false)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (qAlpha(p) == 0) continue;
                ASSERT_EQ(qAlpha(p), 255) << "glyph " << glyph << " at " << x << "," << y;
                ASSERT_TRUE(vga.contains(p | 0xFF000000))
                    << "glyph " << glyph << " at " << x << "," << y;
            }
    }
}

TEST(FormBitmap, TheFourStatusIconsDiffer) {
    ASSERT_EQ(TFormBitmap::imageList().size(), TFormBitmap::ImageCount);
    ASSERT_GT(TFormBitmap::ImageCount, TFormBitmap::ImageScript);
    std::vector<QImage> status;
    for (int i = 0; i <= TFormBitmap::ImageNewFile; ++i) {
        const QImage image = TFormBitmap::smallPixmap(i).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        ASSERT_TRUE(drawsSomething(image));
        for (const QImage& other : status) {
            // Apart by more than a few pixels, so they read apart at a glance.
            int different = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) different += image.pixel(x, y) != other.pixel(x, y);
            EXPECT_GT(different, 25) << "icon " << i;
        }
        status.push_back(image);
    }
    EXPECT_TRUE(TFormBitmap::statusIcon(TFormBitmap::ImageCount).isNull());
    EXPECT_FALSE(TFormBitmap::statusIcon(TFormBitmap::ImageScript).isNull());
}

}  // namespace

// The image registry, its picture loader and the decoders Qt brings.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>

#include "codecs/CodecClasses.h"
#include "viewer/QtDecoders.h"
#include "viewer/TFileFormatList.h"

namespace kv {
namespace {

class Registry : public ::testing::Test {
  protected:
    Registry() { registerProgramFormats(list); }
    QStringList extensions() const {
        QStringList all;
        list.extensionList(all);
        return all;
    }
    PictureLoader loader;
    TFileFormatList list{loader};
};

TEST_F(Registry, HoldsTheThirtySevenExtensionsInOrder) {
    EXPECT_EQ(extensions().join(' '),
              "bmp ico wmf emf jpg jpeg rle dib win vst vda tga icb tiff tif fax pcx pcc scr rpf "
              "rla sgi rgba rgb bw psd pdd ppm pgm pbm cel pic pcd gif cut psp png");
    EXPECT_EQ(list.decoders().size(), 17u);
    EXPECT_EQ(loader.formats().size(), 37u);
    // An extension without its own description is described by its family.
    for (const auto& f : loader.formats()) {
        if (f.extension == "tga") {
            EXPECT_EQ(f.description, "Truevision images");
        }
    }
}

TEST_F(Registry, FindsExtensionsWhateverTheirCase) {
    EXPECT_EQ(list.indexOfExtension("JPG"), 4);
    EXPECT_EQ(list.indexOfExtension("Jpg"), 4);
    EXPECT_EQ(list.indexOfExtension("jpg"), 4);
    EXPECT_EQ(list.indexOfExtension(""), -1);
    EXPECT_EQ(list.indexOfExtension("txt"), -1);
    EXPECT_EQ(loader.decoderFor("PNG"), &TPNGGraphicClass);
}

TEST_F(Registry, RemovingOneTiffExtensionKeepsTheOthers) {
    list.removeFormat("tif", TTIFFGraphicClass);
    EXPECT_EQ(list.indexOfExtension("tif"), -1);
    EXPECT_EQ(loader.decoderFor("tiff"), &TTIFFGraphicClass);
    EXPECT_EQ(loader.decoderFor("fax"), &TTIFFGraphicClass);
    list.removeFormat("tiff", TTIFFGraphicClass);
    list.removeFormat("fax", TTIFFGraphicClass);
    EXPECT_EQ(list.indexOfDecoder(TTIFFGraphicClass), -1);
    EXPECT_EQ(loader.decoderFor("tiff"), nullptr);
    EXPECT_EQ(loader.decoderFor("fax"), nullptr);
    // Removing what is not registered changes nothing.
    list.removeFormat("tif", TTIFFGraphicClass);
    EXPECT_EQ(extensions().size(), 34);
}

TEST_F(Registry, ASecondRegistrationFailsAndChangesNothing) {
    try {
        list.addFormat("png", "x", "y", ftRaster, false, false, TBitmapClass);
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Attempt to register png files twice.");
    }
    EXPECT_EQ(loader.decoderFor("png"), &TPNGGraphicClass);
    EXPECT_EQ(extensions().size(), 37);
    // With the replace flag the extension moves to the new class.
    list.addFormat("png", "", "", ftRaster, true, false, TBitmapClass);
    EXPECT_EQ(loader.decoderFor("png"), &TBitmapClass);
    EXPECT_EQ(list.indexOfDecoder(TPNGGraphicClass), -1);
}

TEST_F(Registry, TheProgramsEndEmptiesTheLoader) {
    unregisterProgramFormats(list);
    EXPECT_EQ(extensions().join(' '), "bmp ico wmf emf jpg jpeg");
    list.clear();
    EXPECT_TRUE(loader.formats().empty());
    EXPECT_TRUE(list.decoders().empty());
}

TEST_F(Registry, LoadsByExtensionAndNamesAnUnknownOne) {
    QImage image;
    QString error;
    EXPECT_TRUE(loader.loadFromFile(KORVELT_TEST_DATA "/photo.jpg", image, error))
        << error.toStdString();
    EXPECT_EQ(image.size(), QSize(160, 120));
    EXPECT_FALSE(loader.loadFromFile(KORVELT_TEST_DATA "/README.md", image, error));
    EXPECT_EQ(error, "Extension de fichier image inconnue (.md)");
    EXPECT_FALSE(loader.loadFromFile(KORVELT_TEST_DATA "/x.tga", image, error));
}

class Decoders : public ::testing::Test {
  protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(Decoders, ReadTheFixturesAndSquareAFaxsPixels) {
    struct Case {
        const DecoderClass& decoder;
        const char* file;
        QSize size;
    } cases[] = {
        {TJPEGImageClass, "photo.jpg", {160, 120}},
        {TPNGGraphicClass, "badge.png", {64, 48}},
        // 204 x 98 dpi: each row stands for more than twice its width.
        {TTIFFGraphicClass, "fax.tif", {1728, 833}},
    };
    for (const Case& c : cases) {
        QImage image;
        QString error;
        ASSERT_TRUE(c.decoder.load(KORVELT_TEST_DATA "/" + QString(c.file), image, error))
            << c.file << error.toStdString();
        EXPECT_EQ(image.size(), c.size) << c.file;
    }
}

// The largest difference of a channel between two pictures of one size; -1
// when their sizes differ.
int largestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

// What Qt's readers get wrong or leave out, against ImageMagick's reading of
// the same files (tests/data/README.md): 16-bit bitmaps widened to full
// white, a camera's JPEG turned as its orientation says, a grey TIFF of
// floating-point samples.
TEST_F(Decoders, ReadWhatQtsReadersLeaveOut) {
    struct Case {
        const DecoderClass& decoder;
        const char* file;
        const char* expected;
        int slack;  // ImageMagick widens 5 bits by 255/31, one level from repeating them
    } cases[] = {
        {TBitmapClass, "bmp_rgb565.bmp", "bmp_rgb565.png", 1},
        {TBitmapClass, "bmp_rgb555.bmp", "bmp_rgb555.png", 1},
        {TJPEGImageClass, "jpeg_exif6.jpg", "jpeg_exif6.png", 2},
        {TTIFFGraphicClass, "tiff_float32.tif", "tiff_float32.png", 1},
    };
    for (const Case& c : cases) {
        QImage image;
        QString error;
        ASSERT_TRUE(c.decoder.load(KORVELT_TEST_DATA "/" + QString(c.file), image, error))
            << c.file << ": " << error.toStdString();
        const QImage expected(KORVELT_TEST_DATA "/" + QString(c.expected));
        ASSERT_FALSE(expected.isNull()) << c.expected;
        EXPECT_EQ(image.size(), expected.size()) << c.file;
        const int difference = largestDifference(image, expected);
        EXPECT_GE(difference, 0) << c.file;
        EXPECT_LE(difference, c.slack) << c.file;
    }
    // The bitmaps' white square: white, not (248, 252, 248).
    for (const char* file : {"bmp_rgb565.bmp", "bmp_rgb555.bmp"}) {
        QImage image;
        QString error;
        ASSERT_TRUE(TBitmapClass.load(KORVELT_TEST_DATA "/" + QString(file), image, error));
        EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white)) << file;
    }
}

TEST_F(Decoders, RefuseHostileHeaders) {
    // A bitmap promising 4000 x 4000 pixels of 24 bits in 60 bytes.
    QByteArray bmp(60, '\0');
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 60);
    put32(10, 54);
    put32(14, 40);
    put32(18, 4000);
    put32(22, 4000);
    bmp[26] = 1;
    bmp[28] = 24;
    // A portable map over 256 megapixels, and one promising more than it holds.
    const QByteArray huge = "P6\n20000 20000\n255\n" + QByteArray(16, 'x');
    const QByteArray big = "P5\n3000 3000\n255\n" + QByteArray(16, 'x');
    struct Case {
        const DecoderClass& decoder;
        QString path;
    } cases[] = {
        {TBitmapClass, write("a.bmp", bmp)},
        {codecs::TPPMGraphicClass, write("b.ppm", huge)},
        {codecs::TPPMGraphicClass, write("c.pgm", big)},
        {TPNGGraphicClass, write("d.png", "not a png")},
        {TJPEGImageClass, write("e.jpg", QByteArray())},
    };
    for (const Case& c : cases) {
        QImage image;
        QString error;
        EXPECT_FALSE(c.decoder.load(c.path, image, error)) << c.path.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
}  // namespace kv

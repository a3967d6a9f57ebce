#include "viewer/QtDecoders.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include "codecs/RgbaImage.h"

namespace kv {
namespace {

// The most pixels one byte of a file of the format can stand for, at the
// format's best compression (deflate 1:1032 of 1-bit rows, LZW runs, a flat
// JPEG, a white CCITT G4 page). A header asking for more is not believed.
int64_t maxPixelsPerByte(const char* format) {
    const QByteArray f(format);
    if (f == "png" || f == "ico") return 8256;
    if (f == "gif") return 4096;
    if (f == "jpeg") return 4096;
    if (f == "tiff") return 16384;
    return 8;  // bmp and the portable maps: at most 8 pixels a byte uncompressed
}

// An uncompressed Windows bitmap must hold every row its header promises.
bool bitmapFits(const QByteArray& head, int64_t fileSize, QString& error) {
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M') return true;
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const int64_t offset = qFromLittleEndian<quint32>(p + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(p + 14);
    if (infoSize < 40) return true;
    const int64_t width = qFromLittleEndian<qint32>(p + 18);
    const int64_t height = std::abs(int64_t(qFromLittleEndian<qint32>(p + 22)));
    const int64_t bits = qFromLittleEndian<quint16>(p + 28);
    const quint32 compression = qFromLittleEndian<quint32>(p + 30);
    if (compression != 0 && compression != 3) return true;  // RLE: no fixed size
    const int64_t rowBytes = (width * bits + 31) / 32 * 4;
    if (width > 0 && height > 0 && offset + rowBytes * height > fileSize) {
        error = QStringLiteral("l'en-tête annonce plus de données que le fichier n'en contient");
        return false;
    }
    return true;
}

bool loadWithQt(const QString& hostPath, const char* format, QImage& image, QString& error) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("fichier illisible");
        return false;
    }
    const int64_t fileSize = file.size();
    if (QByteArray(format) == "bmp" && !bitmapFits(file.peek(64), fileSize, error)) return false;

    // 256 megapixels of 32-bit pixels: 1024 MB.
    QImageReader::setAllocationLimit(1024);
    QImageReader reader(&file, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        error = reader.errorString();
        if (error.isEmpty()) error = QStringLiteral("en-tête illisible");
        return false;
    }
    const int64_t pixels = int64_t(size.width()) * size.height();
    if (pixels > codecs::MaxPixels) {
        error = QStringLiteral("image de plus de 256 mégapixels");
        return false;
    }
    if (pixels > fileSize * maxPixelsPerByte(format)) {
        error = QStringLiteral("l'en-tête annonce plus de données que le fichier n'en contient");
        return false;
    }
    QImage read;
    if (!reader.read(&read)) {
        error = reader.errorString();
        return false;
    }
    image = std::move(read);
    return true;
}

// A fax's pixels are taller than wide in normal mode (204 x 98 dpi): the
// picture is stretched to square pixels so it is not shown squashed.
void squarePixels(QImage& image) {
    const int dpmX = image.dotsPerMeterX();
    const int dpmY = image.dotsPerMeterY();
    if (dpmX <= 0 || dpmY <= 0) return;
    const double ratio = double(dpmX) / dpmY;
    if (ratio > 0.98 && ratio < 1.02) return;
    int width = image.width();
    int height = image.height();
    if (ratio > 1)
        height = qRound(height * ratio);
    else
        width = qRound(width / ratio);
    if (int64_t(width) * height > codecs::MaxPixels) return;
    QImage source = image.depth() == 1 ? image.convertToFormat(QImage::Format_Grayscale8) : image;
    image = source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDotsPerMeterX(dpmX);
    image.setDotsPerMeterY(dpmX);
}

bool loadBitmap(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "bmp", image, error);
}
bool loadIcon(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "ico", image, error);
}
bool loadJpeg(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "jpeg", image, error);
}
bool loadTiff(const QString& path, QImage& image, QString& error) {
    if (!loadWithQt(path, "tiff", image, error)) return false;
    squarePixels(image);
    return true;
}
bool loadGif(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "gif", image, error);
}
bool loadPng(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "png", image, error);
}
bool loadPortableMap(const QString& path, QImage& image, QString& error) {
    // One reader serves the three kinds; the header says which it is.
    const QString suffix = QFileInfo(path).suffix().toLower();
    const char* format = suffix == QLatin1String("pgm")   ? "pgm"
                         : suffix == QLatin1String("pbm") ? "pbm"
                                                          : "ppm";
    return loadWithQt(path, format, image, error);
}

}  // namespace

const DecoderClass TBitmapClass{"TBitmap", &loadBitmap};
const DecoderClass TIconClass{"TIcon", &loadIcon};
const DecoderClass TJPEGImageClass{"TJPEGImage", &loadJpeg};
const DecoderClass TTIFFGraphicClass{"TTIFFGraphic", &loadTiff};
const DecoderClass TGIFGraphicClass{"TGIFGraphic", &loadGif};
const DecoderClass TPNGGraphicClass{"TPNGGraphic", &loadPng};
const DecoderClass TPPMGraphicClass{"TPPMGraphic", &loadPortableMap};

}  // namespace kv

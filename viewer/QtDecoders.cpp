#include "viewer/QtDecoders.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>
#include <bit>

#include "codecs/CodecClasses.h"
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
    return 8;  // bmp: at most 8 pixels a byte uncompressed
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
    // A picture says how it is to be turned (the orientation of a camera's
    // JPEG, of a TIFF): it is shown the right way up, as viewers show it.
    reader.setAutoTransform(true);
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

// Qt widens a bit-field channel of fewer than 8 bits by shifting it left, so
// the white of a 16-bit bitmap (5 or 6 bits a channel) shows as
// (248, 252, 248). The low bits are filled by repeating the channel's own
// bits, as the Targa decoder widens its 5-bit channels: 31 becomes 255.
void widenShortChannels(const QByteArray& head, QImage& image) {
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M') return;
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const quint32 infoSize = qFromLittleEndian<quint32>(p + 14);
    const int bits = qFromLittleEndian<quint16>(p + 28);
    const quint32 compression = qFromLittleEndian<quint32>(p + 30);
    if (infoSize < 40 || (bits != 16 && bits != 32)) return;
    // Red, green, blue and alpha masks; the masks follow a 40-byte header and
    // sit at the same place inside the larger ones.
    quint32 masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
    if (compression == 3 || compression == 6) {
        if (head.size() < 70) return;
        const int count = compression == 6 || infoSize >= 56 ? 4 : 3;
        for (int i = 0; i < count; ++i) masks[i] = qFromLittleEndian<quint32>(p + 54 + 4 * i);
    } else if (compression != 0 || bits != 16) {
        return;
    }
    int width[4];
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        width[i] = std::popcount(masks[i]);
        any = any || (width[i] > 0 && width[i] < 8);
    }
    if (!any) return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const auto widen = [](int v, int n) {
        if (n <= 0 || n >= 8) return v;
        for (int shift = n; shift < 8; shift += n) v |= v >> shift;
        return v;
    };
    const bool alpha = image.format() == QImage::Format_ARGB32;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgba(widen(qRed(c), width[0]), widen(qGreen(c), width[1]),
                            widen(qBlue(c), width[2]), alpha ? widen(qAlpha(c), width[3]) : 255);
        }
    }
}

bool loadBitmap(const QString& path, QImage& image, QString& error) {
    if (!loadWithQt(path, "bmp", image, error)) return false;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) widenShortChannels(file.read(70), image);
    return true;
}
bool loadIcon(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "ico", image, error);
}
bool loadJpeg(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "jpeg", image, error);
}
bool loadTiff(const QString& path, QImage& image, QString& error) {
    // Floating-point samples are refused by Qt's reader and read by our own;
    // any other refusal keeps Qt's reason.
    QString floatError;
    if (!loadWithQt(path, "tiff", image, error) &&
        !codecs::FloatTiffClass.load(path, image, floatError))
        return false;
    squarePixels(image);
    return true;
}
bool loadGif(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "gif", image, error);
}
bool loadPng(const QString& path, QImage& image, QString& error) {
    return loadWithQt(path, "png", image, error);
}
}  // namespace

const DecoderClass TBitmapClass{"TBitmap", &loadBitmap};
const DecoderClass TIconClass{"TIcon", &loadIcon};
const DecoderClass TJPEGImageClass{"TJPEGImage", &loadJpeg};
const DecoderClass TTIFFGraphicClass{"TTIFFGraphic", &loadTiff};
const DecoderClass TGIFGraphicClass{"TGIFGraphic", &loadGif};
const DecoderClass TPNGGraphicClass{"TPNGGraphic", &loadPng};

}  // namespace kv

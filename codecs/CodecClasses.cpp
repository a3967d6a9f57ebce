#include "codecs/CodecClasses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>
#include <vector>

#include "codecs/FloatTiff.h"
#include "codecs/MetafilePlayer.h"
#include "codecs/QtImage.h"
#include "codecs/TAutodeskGraphic.h"
#include "codecs/TCUTGraphic.h"
#include "codecs/TMetafile.h"
#include "codecs/TPCDGraphic.h"
#include "codecs/TPCXGraphic.h"
#include "codecs/TPPMGraphic.h"
#include "codecs/TPSDGraphic.h"
#include "codecs/TPSPGraphic.h"
#include "codecs/TRLAGraphic.h"
#include "codecs/TSGIGraphic.h"
#include "codecs/TTargaGraphic.h"

namespace kv::codecs {

namespace {

// No picture file the decoders accept is larger: 256 megapixels of four
// 16-bit channels, with room for headers and palettes.
constexpr qint64 LargestFile = (qint64(256) << 20) * 8 + (qint64(1) << 20);
constexpr qint64 LargestPalette = 64 * 1024;

bool readFile(const QString& path, qint64 limit, std::vector<uint8_t>& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    if (size > limit) {
        error = QStringLiteral("%1 is too large for a picture").arg(path);
        return false;
    }
    bytes.resize(std::size_t(size));
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(reinterpret_cast<char*>(bytes.data()) + done, size - done);
        if (n <= 0) {
            error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        done += n;
    }
    return true;
}

using Decode = bool (*)(const uint8_t*, std::size_t, RgbaImage&, std::string&);

template <Decode decode>
bool load(const QString& path, QImage& image, QString& error) {
    std::vector<uint8_t> bytes;
    if (!readFile(path, LargestFile, bytes, error)) return false;
    RgbaImage picture;
    std::string reason;
    if (!decode(bytes.data(), bytes.size(), picture, reason)) {
        error = QString::fromStdString(reason);
        return false;
    }
    image = toQImage(std::move(picture));
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the picture");
        return false;
    }
    return true;
}

// The palette beside a picture: its name with the extension .pal, in any
// case; the exact spelling first.
QString paletteBeside(const QString& path) {
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + QStringLiteral(".pal");
    const QDir dir = info.absoluteDir();
    if (dir.exists(wanted)) return dir.filePath(wanted);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return dir.filePath(name);
    return QString();
}

bool loadCut(const QString& path, QImage& image, QString& error) {
    std::vector<uint8_t> bytes, palette;
    if (!readFile(path, LargestFile, bytes, error)) return false;
    const QString palettePath = paletteBeside(path);
    if (!palettePath.isEmpty() && !readFile(palettePath, LargestPalette, palette, error))
        return false;
    RgbaImage picture;
    std::string reason;
    if (!TCUTGraphic::decode(bytes.data(), bytes.size(), palette.data(), palette.size(), picture,
                             reason)) {
        error = QString::fromStdString(reason);
        return false;
    }
    image = toQImage(std::move(picture));
    return !image.isNull();
}

bool loadMetafile(const QString& path, QImage& image, QString& error) {
    std::vector<uint8_t> bytes;
    if (!readFile(path, LargestFile, bytes, error)) return false;
    MetafilePicture picture;
    std::string reason;
    if (!TMetafile::decode(bytes.data(), bytes.size(), picture, reason)) {
        error = QString::fromStdString(reason);
        return false;
    }
    image = MetafilePlayer::play(picture);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the picture");
        return false;
    }
    return true;
}

}  // namespace

const DecoderClass TTargaGraphicClass{"TTargaGraphic", &load<&TTargaGraphic::decode>};
const DecoderClass TPCXGraphicClass{"TPCXGraphic", &load<&TPCXGraphic::decode>};
const DecoderClass TSGIGraphicClass{"TSGIGraphic", &load<&TSGIGraphic::decode>};
const DecoderClass TPSDGraphicClass{"TPSDGraphic", &load<&TPSDGraphic::decode>};
const DecoderClass TRLAGraphicClass{"TRLAGraphic", &load<&TRLAGraphic::decode>};
const DecoderClass TAutodeskGraphicClass{"TAutodeskGraphic", &load<&TAutodeskGraphic::decode>};
const DecoderClass TPCDGraphicClass{"TPCDGraphic", &load<&TPCDGraphic::decode>};
const DecoderClass TCUTGraphicClass{"TCUTGraphic", &loadCut};
const DecoderClass TPSPGraphicClass{"TPSPGraphic", &load<&TPSPGraphic::decode>};
const DecoderClass TMetafileClass{"TMetafile", &loadMetafile};
const DecoderClass TPPMGraphicClass{"TPPMGraphic", &load<&TPPMGraphic::decode>};
const DecoderClass FloatTiffClass{"FloatTiff", &load<&FloatTiff::decode>};

}  // namespace kv::codecs

#include "codecs/CodecTestSupport.h"

#include <zlib.h>

#include <QFile>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "codecs/QtImage.h"
#include "codecs/TAutodeskGraphic.h"
#include "codecs/TCUTGraphic.h"
#include "codecs/TPCDGraphic.h"
#include "codecs/TPCXGraphic.h"
#include "codecs/TPPMGraphic.h"
#include "codecs/TPSDGraphic.h"
#include "codecs/TPSPGraphic.h"
#include "codecs/TRLAGraphic.h"
#include "codecs/TSGIGraphic.h"
#include "codecs/TTargaGraphic.h"

namespace kvtest {

using namespace kv::codecs;

QString fixturePath(const QString& name) {
    return QStringLiteral(KORVELT_IMAGE_DATA "/") + name;
}

std::vector<uint8_t> readFixture(const QString& name) {
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    if (!name.endsWith(QStringLiteral(".gz"))) return data;
    std::vector<uint8_t> out(4 << 20);
    z_stream z{};
    inflateInit2(&z, 16 + MAX_WBITS);
    z.next_in = data.data();
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int r = inflate(&z, Z_FINISH);
    out.resize(r == Z_STREAM_END ? z.total_out : 0);
    inflateEnd(&z);
    return out;
}

bool decodeByExtension(const std::string& extension, const std::vector<uint8_t>& bytes,
                       RgbaImage& image, std::string& error) {
    const uint8_t* d = bytes.data();
    const std::size_t n = bytes.size();
    const auto is = [&](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (extension == name) return true;
        return false;
    };
    if (is({"tga", "win", "vst", "vda", "icb"})) return TTargaGraphic::decode(d, n, image, error);
    if (is({"pcx", "pcc", "scr"})) return TPCXGraphic::decode(d, n, image, error);
    if (is({"sgi", "rgba", "rgb", "bw"})) return TSGIGraphic::decode(d, n, image, error);
    if (is({"psd", "pdd"})) return TPSDGraphic::decode(d, n, image, error);
    if (is({"rla", "rpf"})) return TRLAGraphic::decode(d, n, image, error);
    if (is({"cel", "pic"})) return TAutodeskGraphic::decode(d, n, image, error);
    if (is({"pcd"})) return TPCDGraphic::decode(d, n, image, error);
    if (is({"cut"})) return TCUTGraphic::decode(d, n, nullptr, 0, image, error);
    if (is({"psp"})) return TPSPGraphic::decode(d, n, image, error);
    if (is({"ppm", "pgm", "pbm"})) return TPPMGraphic::decode(d, n, image, error);
    error = "no decoder for " + extension;
    return false;
}

QImage toImage(const RgbaImage& image) {
    return toQImage(image);
}

namespace {

QImage overWhite(const QImage& image) {
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    return out;
}

}  // namespace

Difference compare(const QImage& decoded, const QImage& expected, int slack, int sizeSlack) {
    Difference d;
    if (std::abs(decoded.width() - expected.width()) > sizeSlack ||
        std::abs(decoded.height() - expected.height()) > sizeSlack)
        return d;
    d.sameSize = true;
    const QRect common(0, 0, std::min(decoded.width(), expected.width()),
                       std::min(decoded.height(), expected.height()));
    const QImage a = overWhite(decoded.copy(common)), b = overWhite(expected.copy(common));
    int64_t outliers = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int diff = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])),
                                       std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                       std::abs(qBlue(pa[x]) - qBlue(pb[x]))});
            d.largest = std::max(d.largest, diff);
            if (diff > slack) ++outliers;
        }
    }
    d.outliers = double(outliers) / (double(a.width()) * a.height());
    return d;
}

double lumaCorrelation(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_Grayscale8),
                 y = b.convertToFormat(QImage::Format_Grayscale8);
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* px = x.constScanLine(row);
        const uchar* py = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col) {
            n += 1;
            sx += px[col];
            sy += py[col];
            sxx += double(px[col]) * px[col];
            syy += double(py[col]) * py[col];
            sxy += double(px[col]) * py[col];
        }
    }
    const double vx = sxx - sx * sx / n, vy = syy - sy * sy / n;
    return vx > 0 && vy > 0 ? (sxy - sx * sy / n) / std::sqrt(vx * vy) : 0;
}

}  // namespace kvtest

#include "codecs/QtImage.h"

#include <cstring>
#include <vector>

namespace kv::codecs {

namespace {

void setResolution(QImage& q, const RgbaImage& image) {
    if (image.dpiX > 0) q.setDotsPerMeterX(qRound(image.dpiX / 0.0254));
    if (image.dpiY > 0) q.setDotsPerMeterY(qRound(image.dpiY / 0.0254));
}

}  // namespace

QImage toQImage(const RgbaImage& image) {
    if (image.width <= 0 || image.height <= 0) return QImage();
    QImage q(image.width, image.height, QImage::Format_RGBA8888);
    if (q.isNull()) return q;
    const std::size_t rowBytes = std::size_t(image.width) * 4;
    for (int32_t y = 0; y < image.height; ++y) std::memcpy(q.scanLine(y), image.row(y), rowBytes);
    setResolution(q, image);
    return q;
}

QImage toQImage(RgbaImage&& image) {
    if (image.width <= 0 || image.height <= 0) return QImage();
    // The pixels move to the heap and are freed with the last copy of the image.
    auto* pixels = new std::vector<uint8_t>(std::move(image.pixels));
    QImage q(
        pixels->data(), image.width, image.height, qsizetype(image.width) * 4,
        QImage::Format_RGBA8888,
        [](void* info) { delete static_cast<std::vector<uint8_t>*>(info); }, pixels);
    setResolution(q, image);
    image = RgbaImage();
    return q;
}

}  // namespace kv::codecs

#pragma once
// The codec library's Qt edge: a decoded picture as a QImage.

#include <QImage>

#include "codecs/RgbaImage.h"

namespace kv::codecs {

// A copy of image as a non-premultiplied RGBA QImage, with its resolution
// when it has one. A null QImage for an empty picture.
QImage toQImage(const RgbaImage& image);

// The same, taking over the picture's pixels instead of copying them; image
// is left empty.
QImage toQImage(RgbaImage&& image);

}  // namespace kv::codecs

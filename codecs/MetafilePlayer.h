#pragma once
// Plays the drawing commands of a metafile (codecs/TMetafile.h) onto a
// QPainter, at the picture's own size.

#include <QImage>

#include "codecs/TMetafile.h"

namespace kv::codecs {

class MetafilePlayer {
  public:
    // Draws picture into a new image of picture.width x picture.height on
    // a transparent background, at 96 dots per inch. Commands that refer to
    // objects never created, or to bitmaps that could not be decoded, draw
    // nothing. A null image when the image cannot be allocated.
    static QImage play(const MetafilePicture& picture);
};

}  // namespace kv::codecs

#pragma once
// The decoder classes backed by Qt's own image readers (the TIFF reader comes
// with Debian's qt6-image-formats-plugins): Windows bitmaps (bmp, rle, dib),
// icons, JPEG, TIFF (first page; CCITT fax too, shown with square pixels when
// the fax's two resolutions differ), GIF (first frame) and PNG.
//
// Every one refuses, with its error and before the pixels are read, a picture
// over 256 megapixels or one whose header promises more than the file can
// hold: an uncompressed bitmap larger than its file, or more pixels than the
// format's best compression could pack into the file's size.

#include "codecs/DecoderClass.h"

namespace kv {

extern const DecoderClass TBitmapClass;
extern const DecoderClass TIconClass;
extern const DecoderClass TJPEGImageClass;
extern const DecoderClass TTIFFGraphicClass;
extern const DecoderClass TGIFGraphicClass;
extern const DecoderClass TPNGGraphicClass;

}  // namespace kv

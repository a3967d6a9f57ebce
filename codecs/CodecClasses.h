#pragma once
// The decoder classes of the codec library, as the image registry registers
// them. Each loads a file of its family (see docs/codecs.md for the variants
// read); the decoding itself is plain C++ over the file's bytes (one class a
// file pair in this folder), and only these loaders touch Qt.

#include "codecs/DecoderClass.h"

namespace kv::codecs {

extern const DecoderClass TTargaGraphicClass;     // tga win vst vda icb
extern const DecoderClass TPCXGraphicClass;       // pcx pcc scr
extern const DecoderClass TSGIGraphicClass;       // sgi rgba rgb bw
extern const DecoderClass TPSDGraphicClass;       // psd pdd
extern const DecoderClass TRLAGraphicClass;       // rla rpf
extern const DecoderClass TAutodeskGraphicClass;  // cel pic
extern const DecoderClass TPCDGraphicClass;       // pcd
extern const DecoderClass TCUTGraphicClass;       // cut (with its .pal beside it)
extern const DecoderClass TPSPGraphicClass;       // psp
extern const DecoderClass TMetafileClass;         // wmf emf
extern const DecoderClass TPPMGraphicClass;       // ppm pgm pbm
// Not registered: the TIFF class's reader of floating-point samples, which
// Qt's TIFF reader refuses.
extern const DecoderClass FloatTiffClass;

}  // namespace kv::codecs

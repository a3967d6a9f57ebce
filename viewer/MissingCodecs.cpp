// The decoder classes of the codec library while it is not part of the build:
// each fails with its error, which the viewer reports as an incompatible
// picture and then shows the file as text.

#include "codecs/CodecClasses.h"

namespace kv::codecs {
namespace {

bool unavailable(const QString&, QImage&, QString& error) {
    error = QStringLiteral("décodeur non disponible");
    return false;
}

}  // namespace

const DecoderClass TTargaGraphicClass{"TTargaGraphic", &unavailable};
const DecoderClass TPCXGraphicClass{"TPCXGraphic", &unavailable};
const DecoderClass TSGIGraphicClass{"TSGIGraphic", &unavailable};
const DecoderClass TPSDGraphicClass{"TPSDGraphic", &unavailable};
const DecoderClass TRLAGraphicClass{"TRLAGraphic", &unavailable};
const DecoderClass TAutodeskGraphicClass{"TAutodeskGraphic", &unavailable};
const DecoderClass TPCDGraphicClass{"TPCDGraphic", &unavailable};
const DecoderClass TCUTGraphicClass{"TCUTGraphic", &unavailable};
const DecoderClass TPSPGraphicClass{"TPSPGraphic", &unavailable};
const DecoderClass TMetafileClass{"TMetafile", &unavailable};

}  // namespace kv::codecs

#pragma once
// A decoder class as the image registry and the picture loader know it: its
// name and the one thing the program asks of a decoder, loading the picture
// of a file into an image that the viewer can draw, scale, copy to the
// clipboard and re-encode as JPEG or BMP.

#include <QImage>
#include <QString>

namespace kv {

struct DecoderClass {
    const char* name;  // the class name, "TTargaGraphic"
    // Loads the first (or only) picture of the host file hostPath. False, with
    // the decoder's own reason in error, when the file cannot be decoded
    // (damaged, hostile, a variant the decoder does not read); the viewer
    // never shows that reason, it says "Fichier image non compatible !".
    bool (*load)(const QString& hostPath, QImage& image, QString& error);
};

}  // namespace kv

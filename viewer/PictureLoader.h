#pragma once
// PictureLoader: the picture loader's table of file formats. Each registered
// extension names a decoder class; loading a picture from a file picks the
// decoder by the file's extension, compared without regard to case. The image
// registry (TFileFormatList) is what fills and empties it.

#include <QImage>
#include <QString>
#include <vector>

#include "codecs/DecoderClass.h"

namespace kv {

class PictureLoader {
  public:
    struct Format {
        QString extension;  // without the dot, as registered
        QString description;
        const DecoderClass* decoder = nullptr;
    };

    // Registers an extension; one already registered changes to the new
    // description and decoder.
    void registerFileFormat(const QString& extension, const QString& description,
                            const DecoderClass& decoder);
    // Removes every extension of the decoder class.
    void unregisterGraphicClass(const DecoderClass& decoder);

    const std::vector<Format>& formats() const { return formats_; }
    // The decoder of an extension (without the dot), or nullptr.
    const DecoderClass* decoderFor(const QString& extension) const;

    // Loads the picture of a host file. False with the reason in error: an
    // unregistered extension ("Extension de fichier image inconnue (.%s)"),
    // or the decoder's own error.
    bool loadFromFile(const QString& hostPath, QImage& image, QString& error) const;

    // The program's picture loader.
    static PictureLoader& global();

  private:
    std::vector<Format> formats_;
};

}  // namespace kv

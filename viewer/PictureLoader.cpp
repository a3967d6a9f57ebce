#include "viewer/PictureLoader.h"

#include <QFileInfo>

namespace kv {

void PictureLoader::registerFileFormat(const QString& extension, const QString& description,
                                       const DecoderClass& decoder) {
    for (Format& f : formats_)
        if (f.extension.compare(extension, Qt::CaseInsensitive) == 0) {
            f = {extension, description, &decoder};
            return;
        }
    formats_.push_back({extension, description, &decoder});
}

void PictureLoader::unregisterGraphicClass(const DecoderClass& decoder) {
    std::erase_if(formats_, [&](const Format& f) { return f.decoder == &decoder; });
}

const DecoderClass* PictureLoader::decoderFor(const QString& extension) const {
    for (const Format& f : formats_)
        if (f.extension.compare(extension, Qt::CaseInsensitive) == 0) return f.decoder;
    return nullptr;
}

bool PictureLoader::loadFromFile(const QString& hostPath, QImage& image, QString& error) const {
    const QString extension = QFileInfo(hostPath).suffix();
    const DecoderClass* decoder = decoderFor(extension);
    if (!decoder) {
        error = QStringLiteral("Extension de fichier image inconnue (.%1)").arg(extension);
        return false;
    }
    QImage loaded;
    if (!decoder->load(hostPath, loaded, error)) return false;
    if (loaded.isNull()) {
        error = QStringLiteral("image vide");
        return false;
    }
    image = std::move(loaded);
    return true;
}

PictureLoader& PictureLoader::global() {
    static PictureLoader loader;
    return loader;
}

}  // namespace kv

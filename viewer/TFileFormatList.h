#pragma once
// TFileFormatList: the registry of the image formats the program decodes. It
// maps each extension to a decoder class, with a description and file-type
// flags, and passes every registration on to a picture loader, which then
// picks the decoder by extension when a picture is loaded from a file.
//
// programFormats() is the program's registry, filled with its 37 extensions
// on first use (the program entry calls it before any window exists) over
// PictureLoader::global(); unregisterProgramFormats() takes the decoders out
// again, in the program's order, at its end.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "codecs/DecoderClass.h"
#include "util/Error.h"
#include "viewer/PictureLoader.h"

namespace kv {

// File-type flags, bit 0 to bit 4; stored, read by nothing in the program.
enum FileType : unsigned {
    ftAnimation = 1,
    ftLayered = 2,
    ftMultiImage = 4,
    ftRaster = 8,
    ftVector = 16,
};

// The invalid-graphic error of a second registration.
class EInvalidGraphic : public Error {
  public:
    using Error::Error;
};

class TFileFormatList {
  public:
    struct DecoderEntry {
        const DecoderClass* decoderClass = nullptr;
        QString description;  // the family's common description
        int count = 0;        // extension entries that refer to it
    };
    struct ExtensionEntry {
        QString extension;  // without the dot, as registered
        QString description;
        unsigned typeFlags = 0;
        DecoderEntry* decoder = nullptr;
    };

    explicit TFileFormatList(PictureLoader& loader);
    ~TFileFormatList();  // clear()
    TFileFormatList(const TFileFormatList&) = delete;
    TFileFormatList& operator=(const TFileFormatList&) = delete;

    // Registers one extension. An empty extension does nothing. An extension
    // already registered throws EInvalidGraphic "Attempt to register %s files
    // twice." (nothing changed) unless replace is set, which moves it to the
    // new decoder class. isDefault has no effect.
    void addFormat(const QString& extension, const QString& commonDescription,
                   const QString& ownDescription, unsigned typeFlags, bool replace, bool isDefault,
                   const DecoderClass& decoderClass);
    // Unregisters one extension, or with an empty extension every extension
    // of the decoder class; a class left with none leaves the picture loader.
    void removeFormat(const QString& extension, const DecoderClass& decoderClass);
    // Position in the extension list, compared without regard to the case of
    // A to Z; -1 for an empty or unregistered extension.
    int indexOfExtension(const QString& extension) const;
    int indexOfDecoder(const DecoderClass& decoderClass) const;
    // Clears the list and adds every registered extension, in registration order.
    void extensionList(QStringList& list) const;
    // Unregisters every decoder class from the picture loader; frees all entries.
    void clear();

    const std::vector<std::unique_ptr<ExtensionEntry>>& extensions() const { return extensions_; }
    const std::vector<std::unique_ptr<DecoderEntry>>& decoders() const { return decoders_; }

  private:
    DecoderEntry& decoderEntryFor(const DecoderClass& decoderClass,
                                  const QString& commonDescription);
    void dropDecoderEntry(DecoderEntry* entry);

    PictureLoader& loader_;
    std::vector<std::unique_ptr<ExtensionEntry>> extensions_;
    std::vector<std::unique_ptr<DecoderEntry>> decoders_;
};

// Fills a registry with the program's 37 registrations, in their order.
void registerProgramFormats(TFileFormatList& list);
// Removes the program's decoders in the order of the program's end.
void unregisterProgramFormats(TFileFormatList& list);
// The program's registry (see the file comment).
TFileFormatList& programFormats();

}  // namespace kv

#include "viewer/TFileFormatList.h"

#include "codecs/CodecClasses.h"
#include "viewer/QtDecoders.h"

namespace kv {
namespace {

// The extensions compare by the letters A to Z only, as the registry's own
// comparison does.
bool sameExtension(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

}  // namespace

TFileFormatList::TFileFormatList(PictureLoader& loader) : loader_(loader) {}

TFileFormatList::~TFileFormatList() {
    clear();
}

int TFileFormatList::indexOfExtension(const QString& extension) const {
    if (extension.isEmpty()) return -1;
    for (std::size_t i = 0; i < extensions_.size(); ++i)
        if (sameExtension(extensions_[i]->extension, extension)) return static_cast<int>(i);
    return -1;
}

int TFileFormatList::indexOfDecoder(const DecoderClass& decoderClass) const {
    for (std::size_t i = 0; i < decoders_.size(); ++i)
        if (decoders_[i]->decoderClass == &decoderClass) return static_cast<int>(i);
    return -1;
}

TFileFormatList::DecoderEntry& TFileFormatList::decoderEntryFor(const DecoderClass& decoderClass,
                                                                const QString& commonDescription) {
    const int index = indexOfDecoder(decoderClass);
    DecoderEntry* entry = nullptr;
    if (index >= 0) {
        entry = decoders_[static_cast<std::size_t>(index)].get();
    } else {
        decoders_.push_back(std::make_unique<DecoderEntry>());
        entry = decoders_.back().get();
        entry->decoderClass = &decoderClass;
    }
    if (!commonDescription.isEmpty()) entry->description = commonDescription;
    ++entry->count;
    return *entry;
}

void TFileFormatList::dropDecoderEntry(DecoderEntry* entry) {
    std::erase_if(decoders_, [&](const auto& d) { return d.get() == entry; });
}

void TFileFormatList::addFormat(const QString& extension, const QString& commonDescription,
                                const QString& ownDescription, unsigned typeFlags, bool replace,
                                bool, const DecoderClass& decoderClass) {
    if (extension.isEmpty()) return;
    const int index = indexOfExtension(extension);
    ExtensionEntry* entry = nullptr;
    if (index < 0) {
        extensions_.push_back(std::make_unique<ExtensionEntry>());
        entry = extensions_.back().get();
        entry->extension = extension;
        entry->description = ownDescription;
        entry->typeFlags = typeFlags;
        entry->decoder = &decoderEntryFor(decoderClass, commonDescription);
    } else {
        if (!replace)
            throw EInvalidGraphic(
                QStringLiteral("Attempt to register %1 files twice.").arg(extension).toStdString());
        entry = extensions_[static_cast<std::size_t>(index)].get();
        if (entry->decoder->decoderClass != &decoderClass) {
            DecoderEntry* old = entry->decoder;
            entry->decoder = &decoderEntryFor(decoderClass, commonDescription);
            if (--old->count == 0) dropDecoderEntry(old);
        }
    }
    const QString description =
        entry->description.isEmpty() ? entry->decoder->description : entry->description;
    loader_.registerFileFormat(extension, description, decoderClass);
}

void TFileFormatList::removeFormat(const QString& extension, const DecoderClass& decoderClass) {
    if (!extension.isEmpty()) {
        const int index = indexOfExtension(extension);
        if (index < 0) return;
        auto it = extensions_.begin() + index;
        DecoderEntry* decoder = (*it)->decoder;
        if (--decoder->count == 0) {
            loader_.unregisterGraphicClass(*decoder->decoderClass);
            dropDecoderEntry(decoder);
        }
        extensions_.erase(it);
        return;
    }
    const int index = indexOfDecoder(decoderClass);
    if (index < 0) return;
    DecoderEntry* decoder = decoders_[static_cast<std::size_t>(index)].get();
    for (std::size_t i = extensions_.size(); i-- > 0 && decoder->count > 0;) {
        if (extensions_[i]->decoder != decoder) continue;
        extensions_.erase(extensions_.begin() + static_cast<std::ptrdiff_t>(i));
        --decoder->count;
    }
    loader_.unregisterGraphicClass(decoderClass);
    dropDecoderEntry(decoder);
}

void TFileFormatList::extensionList(QStringList& list) const {
    list.clear();
    for (const auto& e : extensions_) list.append(e->extension);
}

void TFileFormatList::clear() {
    for (const auto& d : decoders_) loader_.unregisterGraphicClass(*d->decoderClass);
    extensions_.clear();
    decoders_.clear();
}

void registerProgramFormats(TFileFormatList& list) {
    using namespace codecs;
    struct Registration {
        const char* extension;
        const char* common;
        const char* own;
        unsigned flags;
        const DecoderClass& decoder;
    };
    const Registration table[] = {
        {"bmp", "Windows bitmaps", "", ftRaster, TBitmapClass},
        {"ico", "Windows icons", "", ftRaster, TIconClass},
        {"wmf", "Windows metafiles", "", ftVector, TMetafileClass},
        {"emf", "Windows metafiles", "Windows enhanced meta files", ftVector, TMetafileClass},
        {"jpg", "JPG images", "", ftRaster, TJPEGImageClass},
        {"jpeg", "", "JPEG images", ftRaster, TJPEGImageClass},
        {"rle", "Windows bitmaps", "Run length encoded Windows bitmaps", ftRaster, TBitmapClass},
        {"dib", "", "Device independant Windows bitmaps", ftRaster, TBitmapClass},
        {"win", "Truevision images", "", ftRaster, TTargaGraphicClass},
        {"vst", "", "", ftRaster, TTargaGraphicClass},
        {"vda", "", "", ftRaster, TTargaGraphicClass},
        {"tga", "", "", ftRaster, TTargaGraphicClass},
        {"icb", "", "", ftRaster, TTargaGraphicClass},
        {"tiff", "Tagged image file format images", "Macintosh TIFF images",
         ftMultiImage | ftRaster, TTIFFGraphicClass},
        {"tif", "", "PC TIF images", ftMultiImage | ftRaster, TTIFFGraphicClass},
        {"fax", "", "GFI fax images", ftMultiImage | ftRaster, TTIFFGraphicClass},
        {"pcx", "ZSoft Paintbrush images", "", ftRaster, TPCXGraphicClass},
        {"pcc", "", "", ftRaster, TPCXGraphicClass},
        {"scr", "", "Word 5.x screen capture images", ftRaster, TPCXGraphicClass},
        {"rpf", "Alias/Wavefront images", "", ftRaster, TRLAGraphicClass},
        {"rla", "", "", ftRaster, TRLAGraphicClass},
        {"sgi", "SGI images", "SGI true color images", ftRaster, TSGIGraphicClass},
        {"rgba", "", "SGI true color images with alpha", ftRaster, TSGIGraphicClass},
        {"rgb", "", "SGI true color images", ftRaster, TSGIGraphicClass},
        {"bw", "", "SGI black/white images", ftRaster, TSGIGraphicClass},
        {"psd", "Photoshop images", "", ftLayered | ftRaster, TPSDGraphicClass},
        {"pdd", "", "", ftLayered | ftRaster, TPSDGraphicClass},
        {"ppm", "Portable map images", "Portable pixel map images", ftRaster, TPPMGraphicClass},
        {"pgm", "", "Portable gray map images", ftRaster, TPPMGraphicClass},
        {"pbm", "", "Portable bitmap images", ftRaster, TPPMGraphicClass},
        {"cel", "Autodesk images", "", ftRaster, TAutodeskGraphicClass},
        {"pic", "Autodesk images", "", ftRaster, TAutodeskGraphicClass},
        {"pcd", "Kodak Photo-CD images", "", ftRaster, TPCDGraphicClass},
        {"gif", "CompuServe images", "", ftAnimation | ftMultiImage | ftRaster, TGIFGraphicClass},
        {"cut", "Dr. Halo images", "", ftRaster, TCUTGraphicClass},
        {"psp", "Paintshop Pro images", "", ftRaster | ftVector, TPSPGraphicClass},
        {"png", "Portable network graphic images", "", ftRaster, TPNGGraphicClass},
    };
    for (const Registration& r : table)
        list.addFormat(QString::fromLatin1(r.extension), QString::fromLatin1(r.common),
                       QString::fromLatin1(r.own), r.flags, false, false, r.decoder);
}

void unregisterProgramFormats(TFileFormatList& list) {
    using namespace codecs;
    const DecoderClass* order[] = {
        &TPSPGraphicClass, &TPSDGraphicClass, &TTargaGraphicClass,    &TTIFFGraphicClass,
        &TSGIGraphicClass, &TPCXGraphicClass, &TAutodeskGraphicClass, &TPCDGraphicClass,
        &TPPMGraphicClass, &TCUTGraphicClass, &TGIFGraphicClass,      &TRLAGraphicClass,
    };
    for (const DecoderClass* decoder : order) list.removeFormat(QString(), *decoder);
    list.removeFormat(QStringLiteral("rle"), TBitmapClass);
    list.removeFormat(QStringLiteral("dib"), TBitmapClass);
    list.removeFormat(QString(), TPNGGraphicClass);
}

TFileFormatList& programFormats() {
    static TFileFormatList* list = [] {
        auto* made = new TFileFormatList(PictureLoader::global());
        registerProgramFormats(*made);
        return made;
    }();
    return *list;
}

}  // namespace kv

#include "engine/HeaderUpdate.h"

#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "platform/Platform.h"
#include "platform/WriterLock.h"

namespace kv {

bool WriteHeaderOnly(OpenArchive& archive, Ui& ui) {
    auto refuse = [&ui] {
        ui.message(MessageKind::Error, "Impossible de modifier l'en-tête du fichier", Buttons::Ok);
        return false;
    };

    const WriterLock lock(archive.path);
    if (lock.stops()) {
        ui.message(MessageKind::Error, lock.message(), Buttons::Ok);
        return false;
    }
    // The catalog stays true to the archive after the comment is rewritten
    // only when it was true to it before.
    const bool catalogCurrent =
        archive.catalogSource && *archive.catalogSource == ArchiveStampOf(archive.path);
    std::unique_ptr<File> file = platform().open(lock.target(), OpenMode::ReadWrite);
    if (!file) return refuse();
    format::HeaderBlock block;
    if (!format::readHeaderBlock(*file, block)) {
        file->close();
        return refuse();
    }
    if (!format::CheckSignature(block)) {
        file->close();
        ui.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        return false;
    }

    format::rewriteHeaderComment(block, archive.comment);

    const bool written = file->seek(0) && file->write(block.data(), format::HeaderSize);
    if (!file->close() || !written) return refuse();
    if (catalogCurrent) archive.catalogSource = ArchiveStampOf(archive.path);
    ui.message(MessageKind::Information, "L'en-tête du fichier a été modifiée", Buttons::Ok);
    return true;
}

}  // namespace kv

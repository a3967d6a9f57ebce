#include "engine/Preview.h"

#include <cstdio>
#include <random>

#include "engine/ArchiveFormat.h"
#include "engine/EntryExtract.h"
#include "platform/Platform.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"
#include "util/Text.h"

namespace kv {
namespace {

// The stored name's extension with its dot ("" when it has none).
std::string extensionOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

// A preview copy name that no file or folder of the Work folder holds.
std::string freshCopyName(const std::string& folder, const std::string& extension) {
    static std::mt19937 random{std::random_device{}()};
    for (;;) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "~kvv%08x", static_cast<unsigned>(random()));
        const std::string name = stem + extension;
        if (platform().attributes(folder + name) == attr::Invalid) return name;
    }
}

// Decompresses the payload of record, which starts at payloadStart, into a
// new file at copyPath. The one place that writes a preview copy.
bool decompressCopy(File& archive, const format::EntryRecord& record, int64_t payloadStart,
                    const std::string& copyPath, TGzip& gzip) {
    gzip.FileDestination = copyPath;
    return archive.seek(payloadStart) && gzip.DecompressMember(archive, record.compressedSize) == 0;
}

// The entry's payload lies inside the archive (and exists for a file that
// was not empty).
bool payloadIsSound(const format::EntryRecord& record, int64_t payloadStart, int64_t archiveSize) {
    return format::payloadFits(record, payloadStart, archiveSize) &&
           !(record.compressedSize == 0 && record.fileSize != 0);
}

// Detaches the progress handler for the scope.
class ProgressDetached {
  public:
    explicit ProgressDetached(TGzip& gzip) : gzip_(gzip), saved_(std::move(gzip.OnProgress)) {
        gzip_.OnProgress = nullptr;
    }
    ~ProgressDetached() { gzip_.OnProgress = std::move(saved_); }

  private:
    TGzip& gzip_;
    std::function<void(TGzip&)> saved_;
};

}  // namespace

PreviewCopy::~PreviewCopy() {
    if (!path_.empty()) platform().removeFile(path_);
}

std::optional<PreviewCopy> ExtractForPreview(Session& session, const CatalogRow& row, Ui& ui) {
    if (session.currentArchive.empty() || !platform().fileExists(session.currentArchive))
        return std::nullopt;
    if (!platform().directoryExists(RemoveBackslash(session.workFolder)))
        session.workFolder = DefaultWorkFolder();
    AddBackslash(session.workFolder);

    const std::string fullPath = row.fullPath();
    const auto offset = format::parseEntryOffset(row.sub[5]);
    if (!offset) {
        ui.message(MessageKind::Information,
                   "Le fichier < " + FileNameOf(fullPath) + " > ne se trouve pas dans l'archive");
        return std::nullopt;
    }

    ProgressDetached detached(session.gzip);
    auto archive = platform().open(session.currentArchive, OpenMode::Read);
    if (!archive) throw Error("Impossible d'ouvrir l'archive < " + session.currentArchive + " >");
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*archive, header) || !format::CheckSignature(header)) {
        ui.message(MessageKind::Error, format::IncompatibleMessage);
        return std::nullopt;
    }
    const auto record = format::readRecordAt(*archive, *offset, fullPath);
    if (!record) {
        ui.message(MessageKind::Information,
                   "Le fichier < " + fullPath + " > ne se trouve pas dans l'archive");
        return std::nullopt;
    }
    const std::string failed =
        text::firstChars("Impossible de décompresser le fichier < " + record->fileName, 140) + " >";
    const int64_t payloadStart = *offset + format::RecordSize;
    if (!payloadIsSound(*record, payloadStart, archive->size())) {
        ui.message(MessageKind::Error, failed);
        return std::nullopt;
    }
    PreviewCopy copy(
        session.workFolder + freshCopyName(session.workFolder, extensionOf(record->fileName)),
        record->fileName);
    const bool done = decompressCopy(*archive, *record, payloadStart, copy.path(), session.gzip);
    archive->close();
    if (!done) ui.message(MessageKind::Error, failed);
    if (!platform().fileExists(copy.path())) return std::nullopt;
    return copy;
}

}  // namespace kv

#include "engine/Preview.h"

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "platform/Platform.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace kv {
namespace {

// The stored name's extension with its dot; "" when it has none, or when it
// holds a separator, a drive colon or a dot step that could lead the copy out
// of the Work folder (a hostile record).
std::string extensionOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return std::string();
    const std::string extension = fileName.substr(dot);
    if (extension.find_first_of("\\/:") != std::string::npos) return std::string();
    return extension;
}

}  // namespace

std::optional<PreviewCopy> ExtractForPreview(const OpenArchive& archive, RunOptions& options,
                                             const CatalogRow& row, Ui& ui) {
    if (archive.path.empty() || !platform().fileExists(archive.path)) return std::nullopt;
    if (!platform().directoryExists(RemoveBackslash(options.workFolder)))
        options.workFolder = DefaultWorkFolder();
    AddBackslash(options.workFolder);

    const std::string fullPath = row.fullPath();
    const std::optional<int64_t> offset = row.entryOffset;
    if (!offset) {
        ui.message(MessageKind::Information,
                   "Le fichier < " + FileNameOf(fullPath) + " > ne se trouve pas dans l'archive");
        return std::nullopt;
    }

    auto file = platform().open(archive.path, OpenMode::Read);
    if (!file) throw Error("Impossible d'ouvrir l'archive < " + archive.path + " >");
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*file, header) || !format::CheckSignature(header)) {
        ui.message(MessageKind::Error, format::IncompatibleMessage);
        return std::nullopt;
    }
    const format::Version version = format::decodeHeader(header).version;
    const auto record = format::readRecordAt(*file, version, *offset, fullPath);
    if (!record) {
        ui.message(MessageKind::Information,
                   "Le fichier < " + fullPath + " > ne se trouve pas dans l'archive");
        return std::nullopt;
    }
    const std::string failed =
        text::firstChars("Impossible de décompresser le fichier < " + record->fileName, 140) + " >";
    const int64_t payloadStart = *offset + format::recordSize(version);
    if (!format::payloadFits(*record, payloadStart, file->size())) {
        ui.message(MessageKind::Error, failed);
        return std::nullopt;
    }
    TempFile copy(options.workFolder, TempFile::PreviewStem, extensionOf(record->fileName));
    if (!copy) {
        ui.message(MessageKind::Error, failed);
        return std::nullopt;
    }
    const format::EntryCheck check = format::CheckEntry(*file, *record, payloadStart, &copy.file());
    file->close();
    const bool closed = copy.close();
    if (!check.sound() || !closed) ui.message(MessageKind::Error, failed);
    return PreviewCopy(std::move(copy), record->fileName);
}

}  // namespace kv

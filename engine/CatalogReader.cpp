#include "engine/CatalogReader.h"

#include <algorithm>
#include <vector>

#include "engine/BufferedReader.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace kv {

namespace {

// What a message about a damaged archive ends with: the way out.
constexpr const char* RepairHint = ".\rRéparez-la : « Réparer l'archive » (kvr repair).";

// Rows between two pumps of the window's events during a load.
constexpr int PumpEvery = 64;

// The closing steps every outcome but NoFile shares.
void finish(OpenArchive& archive) {
    archive.listChanged = false;
    sortCatalog(archive.rows, archive.sortKey);
}

}  // namespace

EntryStatus entryStatus(const std::string& fullPath, int32_t fileDate) {
    const std::optional<int32_t> written = platform().fileLastWriteDos(fullPath);
    if (!written) return Missing;
    return *written > fileDate ? Modified : Unchanged;
}

CatalogRow rowFromRecord(const format::EntryRecord& record, int64_t offset) {
    CatalogRow row;
    row.status = Unchanged;
    row.name = record.fileName;
    row.folder = record.folder;
    row.size = record.fileSize;
    row.compressedSize = record.compressedSize;
    row.entryOffset = offset;
    row.fileDate = record.fileDate;
    row.typeName = record.typeName;
    return row;
}

ArchiveStamp ArchiveStampOf(const std::string& path) {
    const PathInfo info = platform().pathInfo(path);
    if (info.kind != PathInfo::Kind::File) return {};
    return ArchiveStamp{true, info.device, info.inode, info.size, info.lastWriteNs};
}

LoadResult LoadArchive(OpenArchive& archive, Ui& ui) {
    LoadResult result;
    Platform& host = platform();
    archive.catalogSource = ArchiveStampOf(archive.path);
    if (archive.path.empty() || !host.fileExists(archive.path)) return result;

    archive.rows.clear();
    archive.comment.clear();

    std::unique_ptr<File> file = host.open(archive.path, OpenMode::Read);
    if (!file) {
        result.outcome = LoadOutcome::ReadError;
        result.error = "Impossible d'ouvrir le fichier " + archive.path;
        finish(archive);
        return result;
    }
    BufferedReader reader(*file);

    format::HeaderBlock header;
    if (!format::readHeaderBlock(reader, header)) {
        reader.close();
        result.outcome = LoadOutcome::ReadError;
        result.error = "Erreur de lecture du fichier " + archive.path;
        finish(archive);
        return result;
    }
    if (!format::CheckSignature(header)) {
        reader.close();
        ui.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        result.outcome = LoadOutcome::Incompatible;
        finish(archive);
        return result;
    }
    archive.comment = format::decodeHeader(header).comment;

    format::ArchiveWalker walk(reader);
    int sincePump = 0;
    while (std::optional<format::EntryRecord> entry = walk.next()) {
        CatalogRow row = rowFromRecord(*entry, walk.offset());
        row.status = entryStatus(row.fullPath(), entry->fileDate);
        if (row.status == Modified) result.modifiedSeen = true;
        result.totalSize += entry->fileSize;
        archive.rows.push_back(std::move(row));
        if (++sincePump == PumpEvery) {
            sincePump = 0;
            ui.pump();
        }
    }
    reader.close();

    if (walk.failed()) {
        result.outcome = LoadOutcome::ReadError;
        result.error = "Erreur de lecture du fichier " + archive.path;
    } else if (walk.cutShort()) {
        result.outcome = LoadOutcome::ReadError;
        result.error = "L'archive " + archive.path +
                       " est incomplète : sa dernière entrée est coupée" + RepairHint;
    } else if (!walk.damage().empty()) {
        // The rows after a damaged record cannot be found: an update from
        // this catalog would lose them.
        result.outcome = LoadOutcome::ReadError;
        result.error =
            "L'archive " + archive.path + " est endommagée : " + walk.damage() + RepairHint;
    } else {
        result.outcome = LoadOutcome::Loaded;
    }
    finish(archive);
    return result;
}

void refreshStatuses(OpenArchive& archive, const std::vector<std::size_t>& rows) {
    std::unique_ptr<File> file = platform().open(archive.path, OpenMode::Read);
    if (!file) return;
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*file, header) || !format::CheckSignature(header)) return;
    const format::Version version = format::decodeHeader(header).version;
    for (std::size_t index : rows) {
        if (index >= archive.rows.size()) continue;
        CatalogRow& row = archive.rows[index];
        if (!row.entryOffset) continue;
        const std::string fullPath = row.fullPath();
        if (const auto record = format::readRecordAt(*file, version, *row.entryOffset, fullPath))
            row.status = entryStatus(fullPath, record->fileDate);
    }
    file->close();
}

int compareRows(const CatalogRow& a, const CatalogRow& b, int sortKey) {
    switch (sortKey) {
        case 1:
            return text::compareNoCase(a.name, b.name);
        case 2:
            return text::compareNoCase(a.folder, b.folder);
        default:
            return 0;
    }
}

void sortCatalog(Catalog& rows, int sortKey) {
    if (sortKey != 1 && sortKey != 2) return;
    std::stable_sort(rows.begin(), rows.end(), [sortKey](const CatalogRow& a, const CatalogRow& b) {
        return compareRows(a, b, sortKey) < 0;
    });
}

}  // namespace kv

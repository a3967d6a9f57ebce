#include "engine/CatalogReader.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <iterator>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/BufferedReader.h"
#include "engine/WorkPool.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace kv {

namespace {

// What a message about a damaged archive ends with: the way out.
constexpr const char* RepairHint = ".\rRéparez-la : « Réparer l'archive » (kvr repair).";

// Rows between two pumps of the window's events during a load.
constexpr int PumpEvery = 64;

// Rows whose statuses one job of the load reads: a folder's worth, or a few.
constexpr std::size_t StatusRows = 512;

// The status of row as entryStatus gives it, its file looked up in folder
// (row.folder held open, or nullptr when it could not be): no path is
// resolved from the drive's root again for each row. A link, and anything
// the held folder cannot answer (no such name there, a name that is no
// single component), is asked of the full path.
EntryStatus statusIn(Folder* folder, const CatalogRow& row) {
    if (folder) {
        if (const std::optional<FolderEntry> entry = folder->lookup(row.name)) {
            switch (entry->kind) {
                case FolderEntry::Kind::Folder:
                    return Missing;
                case FolderEntry::Kind::File:
                case FolderEntry::Kind::Other:
                    return entry->dosDateTime > row.fileDate ? Modified : Unchanged;
                case FolderEntry::Kind::Link:
                    break;
            }
        }
    }
    return entryStatus(row.fullPath(), row.fileDate);
}

// Sets the status of each row, holding each folder open while its rows
// follow each other (the archive stores a folder's files together).
// True when one of them came out Modified.
bool readStatuses(std::vector<CatalogRow>& rows) {
    std::unique_ptr<Folder> held;
    const std::string* heldPath = nullptr;
    bool modified = false;
    for (CatalogRow& row : rows) {
        if (!heldPath || *heldPath != row.folder) {
            held = platform().openFolder(row.folder);
            heldPath = &row.folder;
        }
        row.status = statusIn(held.get(), row);
        modified = modified || row.status == Modified;
    }
    return modified;
}

// Blocks of rows whose statuses may wait to be read at once: enough to keep
// every worker busy, few enough that the rows are in the catalog soon after.
constexpr std::size_t BlocksAhead = 8;

// The rows of a load, read from the archive in file order a block at a
// time; each block's statuses are read by a worker while the walk goes on,
// and the block is appended to the catalog once they are. The rows and
// their statuses are those one thread gives, in the same order.
class StatusReader {
  public:
    explicit StatusReader(Catalog& rows)
        : rows_(rows),
          pool_(workerThreads(0), [](const Block& block, const std::atomic<bool>&,
                                     const Pool::Progress&) { return readStatuses(*block); }) {}

    void add(CatalogRow row) {
        if (!block_) {
            block_ = std::make_shared<std::vector<CatalogRow>>();
            block_->reserve(StatusRows);
        }
        block_->push_back(std::move(row));
        if (block_->size() < StatusRows) return;
        jobs_.push_back(pool_.submit(std::move(block_)));
        if (jobs_.size() > BlocksAhead) takeFirst();
    }

    // Waits for the statuses of the rows still out and appends them. True
    // when one of the rows added came out Modified.
    bool finish() {
        if (block_) jobs_.push_back(pool_.submit(std::move(block_)));
        while (!jobs_.empty()) takeFirst();
        return modified_;
    }

  private:
    using Block = std::shared_ptr<std::vector<CatalogRow>>;
    using Pool = WorkPool<Block, bool>;

    void takeFirst() {
        Pool::Job& job = *jobs_.front();
        if (pool_.take(job, nullptr)) modified_ = true;
        std::vector<CatalogRow>& done = *job.request;
        std::move(done.begin(), done.end(), std::back_inserter(rows_));
        jobs_.pop_front();
    }

    Catalog& rows_;
    Pool pool_;
    Block block_;
    std::deque<std::shared_ptr<Pool::Job>> jobs_;  // in file order
    bool modified_ = false;
};

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
    StatusReader statuses(archive.rows);
    int sincePump = 0;
    while (std::optional<format::EntryRecord> entry = walk.next()) {
        result.totalSize += entry->fileSize;
        statuses.add(rowFromRecord(*entry, walk.offset()));
        if (++sincePump == PumpEvery) {
            sincePump = 0;
            ui.pump();
        }
    }
    reader.close();
    result.modifiedSeen = statuses.finish();

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
    // The row numbers are sorted, then each row moves once to its place
    // (cycle by cycle): a catalog of a million rows is not moved whole at
    // every step of the merge.
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&rows, sortKey](std::size_t a, std::size_t b) {
        return compareRows(rows[a], rows[b], sortKey) < 0;
    });
    // Place i takes rows[order[i]]; a place filled is marked order[i] == i.
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (order[start] == start) continue;
        CatalogRow first = std::move(rows[start]);
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            rows[at] = std::move(rows[from]);
            order[at] = at;
            at = from;
        }
        rows[at] = std::move(first);
        order[at] = at;
    }
}

}  // namespace kv

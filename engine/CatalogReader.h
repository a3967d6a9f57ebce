#pragma once
// Reading the catalog from the open archive: one row per stored entry, in file
// order, with its status against the disk, then sorted once by the archive's
// sort key. This is the only way rows with stored values enter the catalog.
//
// The window side (wait dialog, caption, status panels, action states, the
// notice about modified files) belongs to the caller: LoadArchive hands back
// what it needs in a LoadResult.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/Catalog.h"
#include "engine/OpenArchive.h"
#include "util/Ui.h"

namespace kv {

enum class LoadOutcome {
    NoFile,        // no file at archive.path (or none is open): the rest is untouched
    Incompatible,  // not an archive of this format: the error box was shown, the catalog is empty
    Loaded,        // every entry was read
    ReadError,     // a read failed, the file ends inside a record, or a record is damaged
                   // (negative CompressedSize, a payload past the end): the rows read so
                   // far, and error
};

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::NoFile;
    int64_t totalSize = 0;      // sum of the rows' sizes (FileSize), for the catalog summary
    bool modifiedSeen = false;  // at least one row came out Modified
    std::string error;          // ReadError: the message for the caller's error box
};

// Fills archive.rows from archive.path.
//   - First of all, archive.catalogSource takes the stamp of the file there
//     (ArchiveStampOf), taken before the file is read: a writer that replaces
//     it while it is read makes the stamp stale, never the other way.
//   - No file there: nothing else changes (NoFile).
//   - Otherwise the rows and the comment are cleared first. An incompatible file
//     shows format::IncompatibleMessage as an error box through ui and leaves
//     the catalog empty.
//   - Each entry gives a row (rowFromRecord) with its status by entryStatus().
//     The statuses are read on worker threads (the file looked up in its
//     folder held open, the full path where that cannot answer), the rows
//     kept in file order; ui is only called on the calling thread.
//   - In every case but NoFile: listChanged is cleared and the rows are sorted
//     once with sortCatalog(archive.sortKey).
// ui.pump() runs now and then during the walk so a window stays alive.
// Never throws for I/O: failures come back as ReadError.
LoadResult LoadArchive(OpenArchive& archive, Ui& ui);

// The file at path as it is now: absent (also when it cannot be looked at), or
// its device, inode, size and last write.
ArchiveStamp ArchiveStampOf(const std::string& path);

// The status of a stored entry against the disk: Missing when no file is at
// fullPath, Modified when the file's last write (MS-DOS form) is greater than
// fileDate as signed 32-bit numbers, else Unchanged (an older file included).
EntryStatus entryStatus(const std::string& fullPath, int32_t fileDate);

// Reads the status of the given rows (indices into archive.rows) against the
// disk again, each with the stored date of its entry (reached through its
// entry offset), as a load would set it. A row never archived, or whose
// entry the archive no longer holds at that offset, keeps its status, as do
// all of them when the archive cannot be opened. Never throws.
void refreshStatuses(OpenArchive& archive, const std::vector<std::size_t>& rows);

// The catalog's compare rule: sortKey 1 compares the names, 2 the folders,
// case-insensitively, ascending; any other key says equal.
// Negative, zero or positive.
int compareRows(const CatalogRow& a, const CatalogRow& b, int sortKey);

// Sorts the rows by compareRows with a stable sort: rows with equal keys keep
// their order.
void sortCatalog(Catalog& rows, int sortKey);

// The row a stored entry gives: its name, folder, sizes, date and type text
// as stored, the entry offset, and the status left at Unchanged.
CatalogRow rowFromRecord(const format::EntryRecord& record, int64_t offset);

}  // namespace kv

#pragma once
// The catalog: the rows of the main list, one per file, in the engine's own
// plain type. Each value keeps its own type; the texts the list, the listing
// and the printout show are made where they are shown (app/CatalogModel). The
// main window shows the rows through a Qt model; the engine reads and writes
// them directly.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// EntryStatus, also the row's icon. Differs and Damaged come only from a
// check of the stored members (engine/ArchiveVerify.h): the file's content is
// not the stored one though its date does not say so; the stored member is
// damaged. A load sets the first four again.
enum EntryStatus : int {
    Unchanged = 0,
    Modified = 1,
    Missing = 2,
    New = 3,
    Differs = 4,
    Damaged = 5
};

struct CatalogRow {
    std::string name;    // the file name, without folder
    std::string folder;  // drive, path and final backslash
    int64_t size = 0;    // the file's size in bytes: as stored, or as listed on disk when added
    // The stored payload's size and the file offset of the entry's record in
    // the open archive; both absent until the row's file is archived.
    std::optional<int64_t> compressedSize;
    std::optional<int64_t> entryOffset;
    // Last write in MS-DOS form (platform/DosTime.h): the stored FileDate, or
    // the file's own when added. May be no valid date (shown as no text).
    int32_t fileDate = 0;
    std::string typeName;  // the type text ("Document texte", ...)
    EntryStatus status = New;

    std::string fullPath() const { return folder + name; }
};

using Catalog = std::vector<CatalogRow>;

// A row to look at: its file on disk and its stored copy are not known to
// agree (modified, missing, or new and not stored yet). A status that a
// check of the archive or of the disk adds says here whether it is one.
inline bool needsCheck(int status) {
    switch (static_cast<EntryStatus>(status)) {
        case Unchanged:
            return false;
        case Modified:
        case Missing:
        case New:
        case Differs:
        case Damaged:
            return true;
    }
    return true;
}

// What the catalog view shows: every row, the rows of one status, or the
// rows to look at (needsCheck).
enum class StatusFilter { All, Modified, Missing, New, ToCheck };

inline bool filterShows(StatusFilter filter, int status) {
    switch (filter) {
        case StatusFilter::All:
            return true;
        case StatusFilter::Modified:
            return status == EntryStatus::Modified;
        case StatusFilter::Missing:
            return status == EntryStatus::Missing;
        case StatusFilter::New:
            return status == EntryStatus::New;
        case StatusFilter::ToCheck:
            return needsCheck(status);
    }
    return true;
}

}  // namespace kv

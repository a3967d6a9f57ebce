#pragma once
// The catalog: the rows of the main list, one per file, in the engine's own
// plain type. The main window shows them through a Qt model; the engine reads
// and writes them directly.

#include <array>
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
    std::string caption;           // the file name
    // 0 folder with final backslash, 1 size in bytes, 2 compressed size (empty
    // until archived), 3 date "dd/mm/yyyy hh:nn", 4 type text, 5 entry offset
    // (hidden; empty until archived).
    std::array<std::string, 6> sub;
    int icon = New;

    std::string fullPath() const { return sub[0] + caption; }
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

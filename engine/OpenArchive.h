#pragma once
// The open archive as the engine operations see it: its path, the catalog
// rows, its comment, whether the rows hold changes the file does not, and the
// stamp of the file as it was when the rows were read from it. The GUI's main
// window holds one for its whole life; kvr builds one per command; tests build
// their own. The run's options (engine/RunOptions.h) and the user's locale and
// clock (engine/Environment.h) are apart from it.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Catalog.h"

namespace kv {

// An archive file as it was when the catalog was read from it: absent, or its
// device, inode, size and last write. A writer that replaced or rewrote it
// since gives another stamp (ArchiveStampOf, engine/CatalogReader.h).
struct ArchiveStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t lastWriteNs = 0;
    bool operator==(const ArchiveStamp&) const = default;
};

struct OpenArchive {
    std::string path;          // CurrentArchive: full Windows path, empty when none is open
    Catalog rows;              // the catalog, in list order
    std::string comment;       // EditComment: the archive's comment (at most 80 characters typed)
    bool listChanged = false;  // ListChanged: the catalog holds changes the archive does not
    int sortKey = 1;           // SortKey: the order the rows are sorted in, 1 name, 2 folder
    // The archive file the rows were read from, as it was then (LoadArchive
    // sets it). An archiving run refuses to write over an archive that no
    // longer has this stamp: the rows would not hold what another writer put
    // there meanwhile. Unset: the rows were not read from path and nothing is
    // checked.
    std::optional<ArchiveStamp> catalogSource;
};

}  // namespace kv

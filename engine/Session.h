#pragma once
// The explicit state that engine operations work on: the open archive, the
// catalog rows, the comment box text and the options they read. The GUI's main
// window owns one; kvr builds one per command; tests build their own.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/Catalog.h"
#include "util/Format.h"

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

// The host's wall clock now, in nanoseconds since 1970 (UTC).
inline int64_t wallClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Session {
    std::string currentArchive;   // CurrentArchive: full Windows path, empty when none is open
    Catalog rows;                 // the catalog, in list order
    std::string comment;          // EditComment: the archive's comment (at most 80 characters typed)
    std::string workFolder;       // WorkFolder: where the archiving run builds its new copy
    bool dateComment = false;     // DateComment: new comments start with today's date
    bool listChanged = false;     // ListChanged: the catalog holds changes the archive does not
    int sortKey = 1;              // SortKey: 1 name, 2 folder
    bool checkRecupeFile = false; // CheckRecupeFile: leave missing files out instead of carrying them over
    bool recompressAll = false;   // RecompressAll: the archiving runs compress every file, even
                                  // one whose stored member is still its own
    bool verifyUnchanged = false;  // VerifyUnchanged: an update proves every stored member it
                                   // keeps against its file, even one the files cache vouches for
                                   // (engine/FilesCache.h)
    int threads = 0;               // files worked on at once by the archiving runs, restore and
                                   // test; 0 the default (workerThreads, engine/WorkPool.h)
    LocaleSeparators separators;  // the user's locale, read once at start-up
    std::function<DateTime()> now = localNow;  // the clock (tests inject their own)
    // The wall clock, in nanoseconds since 1970 (UTC), against which the files
    // cache judges whether a file changed too lately for its times to vouch
    // for its bytes (tests run it ahead).
    std::function<int64_t()> clockNs = wallClockNs;
    // The archive file the rows were read from, as it was then (LoadArchive
    // sets it). An archiving run refuses to write over an archive that no
    // longer has this stamp: the rows would not hold what another writer put
    // there meanwhile. Unset: the rows were not read from currentArchive and
    // nothing is checked.
    std::optional<ArchiveStamp> catalogSource;
};

}  // namespace kv

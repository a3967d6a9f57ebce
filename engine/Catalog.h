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

// EntryStatus, also the row's icon index.
enum EntryStatus : int { Unchanged = 0, Modified = 1, Missing = 2, New = 3 };

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

}  // namespace kv

#pragma once
// The catalog: the rows of the main list, one per file, in the engine's own
// plain type. The main window shows them through a Qt model; the engine reads
// and writes them directly.

#include <array>
#include <string>
#include <vector>

namespace kv {

// EntryStatus, also the row's icon index.
enum EntryStatus : int { Unchanged = 0, Modified = 1, Missing = 2, New = 3 };

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

}  // namespace kv

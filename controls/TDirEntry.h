#pragma once
// The records of the directory tree: what each folder node carries, what a
// replacement enumeration (OnFindDir) delivers, and the attribute and drive-type
// sets the tree filters with.

#include <QString>
#include <cstdint>

#include "platform/Platform.h"

namespace kv {

// One per real node of the tree, owned by the node (a placeholder child has none).
struct TDirEntry {
    QString Path;          // full folder path in upper case, ending in "\" ("C:\" for a drive)
    bool Listed = false;   // the node's subfolders have been read into child nodes
    void* Data = nullptr;  // user pointer handed over by an OnFindDir enumeration
    // Share state, filled when the share overlay is asked for: the host folder the
    // node stands for, and whether the desktop shares it. Empty until asked.
    QString HostFolder;
    bool ShareKnown = false;
};

// What an OnFindDir handler fills for each entry it delivers.
struct TDirRec {
    uint32_t Attr = 0;        // file attributes (attr::Directory marks a folder)
    QString Name;             // the entry's name without path
    intptr_t FindHandle = 0;  // free for the handler's own enumeration state; cleared when it ends
    FindEntry FindData;       // the platform's find record, when the handler has one
    void* Data = nullptr;     // the pointer the resulting child node will carry
};

// Folder attribute filter, bits 0 to 5 of TDirTypes.
enum TDirType {
    dtReadOnly = 0,
    dtHidden = 1,
    dtSystem = 2,
    dtArchive = 3,
    dtNormal = 4,
    dtAll = 5
};
using TDirTypes = unsigned;
constexpr TDirTypes dirTypeBit(TDirType t) {
    return 1u << t;
}
constexpr TDirTypes DefaultDirTypes = dirTypeBit(dtNormal) | dirTypeBit(dtAll);

// Drive filter, bits 0 to 5 of TDriveTypes.
enum TDriveType {
    drtUnknown = 0,
    drtRemovable = 1,
    drtFixed = 2,
    drtRemote = 3,
    drtCDRom = 4,
    drtRamDisk = 5
};
using TDriveTypes = unsigned;
constexpr TDriveTypes driveTypeBit(TDriveType t) {
    return 1u << t;
}
constexpr TDriveTypes AllDriveTypes = 0x3F;

}  // namespace kv

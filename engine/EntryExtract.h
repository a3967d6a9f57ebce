#pragma once
// Writing one stored entry back to disk: the rules that keep an entry inside
// the folder it is restored to, the destination folder of an entry, and the
// extraction of one payload. The restore run and the extractor stub share
// these, so both refuse the same entries and replace files the same way.
//
// An existing file is never touched until its replacement has been
// decompressed completely: the payload is decompressed into a temporary file
// in the destination folder, and only that finished file is renamed over it.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/ArchiveFormat.h"
#include "engine/TGzip.h"
#include "platform/Platform.h"

namespace kv::format {

// Where entries go. Origin: the stored folder itself. Tree: the chosen folder
// followed by the stored folder without its drive part (from its fourth
// character on). Flat: the chosen folder.
enum class Placement { Origin, Tree, Flat };

// True when the file name can be written into a folder without leaving it: not
// empty, not "." or "..", and holding no '\', '/' or ':'.
bool isSafeFileName(const std::string& fileName);

// True when the folder text holds no ".." component (components are split at
// '\' and '/', so a host separator cannot smuggle one in).
bool hasNoParentStep(const std::string& folder);

// True when the text is a drive path: a letter, ':' and '\', then components
// without "..".
bool isDrivePath(const std::string& folder);

// The destination folder of an entry (ending in a backslash), or nullopt when
// the entry must be refused: an unsafe file name, a stored folder whose part
// past the drive holds "..", or, for Origin, a stored folder that is not a
// drive path. chosenFolder is used by Tree and Flat and must end in a backslash.
std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder);

// Creates a folder and every missing parent (the path may end in a
// backslash). True when the folder exists afterwards.
bool createFolderPath(const std::string& folder);

// A name for a new file in folder that no file or folder holds yet, built from
// stem ("~kvr" gives "~kvr1.tmp", "~kvr2.tmp", ...).
std::string uniqueFileName(const std::string& folder, const std::string& stem);

enum class ExtractResult {
    Done,              // the destination holds the entry's bytes
    Damaged,           // the payload runs past the end of the archive, or is missing
                       // for a non-empty file: nothing written
    DecompressFailed,  // the payload did not decompress, or the finished file could
                       // not be moved into place: the destination is as it was
};

// Extracts the entry whose payload starts at payloadStart to
// destinationFolder + record.fileName:
//   1. checks that CompressedSize fits in what is left of the archive (and is
//      not 0 for a file that was not empty);
//   2. when no file has that name yet, decompresses the payload, read in
//      place, with gzip straight into it, and deletes it again on failure;
//   3. otherwise decompresses into a unique temporary file in the destination
//      folder and, on success only, renames it over the existing file (which
//      loses its read-only, hidden and system attributes with it; where they
//      keep the rename from working they are cleared first); on failure the
//      temporary file is deleted and the existing file is as it was.
// A folder of that name is never replaced (DecompressFailed).
// Throws kv::Error when the archive cannot be positioned at the payload.
// gzip's FileDestination is overwritten; its progress event runs as usual.
ExtractResult extractPayload(File& archive, const EntryRecord& record, int64_t payloadStart,
                             const std::string& destinationFolder, TGzip& gzip);

}  // namespace kv::format

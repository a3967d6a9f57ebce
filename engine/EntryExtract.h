#pragma once
// Writing one stored entry back to disk: the rules that keep an entry inside
// the folder it is restored to, the destination folder of an entry, and the
// extraction of one payload (the path rules themselves are
// engine/StoredPath.h). The restore run and the extractor stub share these, so
// both refuse the same entries and replace files the same way.
//
// An existing file is never touched until its replacement has been
// decompressed completely and found sound: the payload is decompressed into a
// temporary file in the destination folder, and only that finished file is
// renamed over it.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/ArchiveFormat.h"
#include "engine/StoredPath.h"
#include "engine/TGzip.h"
#include "platform/Platform.h"

namespace kv::format {

// Where entries go. Origin: the stored folder itself. Tree: the chosen folder
// followed by the stored folder without its drive part ("D:\Docs\" gives
// "Docs\"; a server folder "\\srv\share\Docs\" keeps its server:
// "srv\share\Docs\"). Flat: the chosen folder.
enum class Placement { Origin, Tree, Flat };

// The destination folder of an entry (ending in a backslash), or nullopt when
// the entry must be refused: an unsafe file name, a stored folder whose part
// past the drive holds "..", or, for Origin, a stored folder that is not a
// drive path. chosenFolder is used by Tree and Flat and must end in a backslash.
std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder);

// Creates a folder and every missing parent (the path may end in a
// backslash). True when the folder exists afterwards.
bool createFolderPath(const std::string& folder);

enum class ExtractResult {
    Done,              // the destination holds the entry's bytes
    Damaged,           // the record is damaged (its payload runs past the end of
                       // the archive, has a negative size or is empty): nothing written
    DecompressFailed,  // the payload is not a sound member of FileSize bytes, or the
                       // file could not be written or moved into place: the
                       // destination is as it was
};

// Extracts the entry whose payload starts at payloadStart to
// destinationFolder + record.fileName, checked by CheckEntry
// (engine/EntryCheck.h) as it is written:
//   1. a damaged record writes nothing;
//   2. when no file has that name yet, the payload, read in place, is
//      inflated straight into a new file made exclusively under that name,
//      which is deleted again when the entry is not sound;
//   3. otherwise it is inflated into a temporary file (platform/TempFile.h)
//      in the destination folder and, only when the entry is sound, renamed
//      over the existing file (which loses its read-only, hidden and system
//      attributes with it; where they keep the rename from working they are
//      cleared first); on failure the temporary file is removed and the
//      existing file is as it was.
// A folder of that name is never replaced (DecompressFailed). No more than
// FileSize bytes are ever written.
// Throws kv::Error when the archive cannot be positioned at the payload.
// gzip's progress event runs as the payload is read.
ExtractResult extractPayload(File& archive, const EntryRecord& record, int64_t payloadStart,
                             const std::string& destinationFolder, TGzip& gzip);

}  // namespace kv::format

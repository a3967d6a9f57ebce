#pragma once
// Rewriting the archive's comment in place: only the 102-byte header changes,
// never the entries, the file's size or the catalog.

#include "engine/OpenArchive.h"
#include "util/Ui.h"

namespace kv {

// Writes archive.comment (cut to the 82-byte field) as the comment of
// archive.path. The signature is written again, the reserved byte
// and the comment bytes past the new length keep what was read. Shows
// "L'en-tête du fichier a été modifiée" (information) on success; the
// incompatible-file box (error) when the file is not an archive, leaving it
// unchanged; "Impossible de modifier l'en-tête du fichier" (error) when it
// cannot be opened, read or written (a read-only or locked archive). Holds the
// archive's WriterLock while it writes, and writes the file it names (through
// the archive's link): when another writer holds it, or the lock refuses the
// archive, the lock's message (error) is shown and nothing changes. True on
// success. archive.listChanged is neither read nor changed. When the catalog
// was read from the archive as it stood (archive.catalogSource), the stamp
// follows the rewrite, so this program's own change does not count as
// another writer's. Never throws.
bool WriteHeaderOnly(OpenArchive& archive, Ui& ui);

}  // namespace kv

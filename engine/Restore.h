#pragma once
// RestoreFiles: writes stored files of the open archive back to disk, every
// entry of the archive file (walked in file order) or the entries of chosen
// catalog rows (reached through their entry offsets), each into its stored
// folder, into one chosen folder, or into the chosen folder below a copy of
// its stored folder tree. The archive is only read; the catalog is not changed.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/Session.h"
#include "util/Ui.h"

namespace kv {

// The four choices of the restore dialog.
struct RestoreChoices {
    int selection = 0;     // RestoreSelection: 0 every entry, 1 the selected rows
    bool toOrigin = true;  // RestoreToOrigin: back into the stored folders (wins over tree)
    bool tree = true;      // RestoreTree: folder + stored folder without its drive part
    std::string folder;    // RestoreFolder: the chosen folder (a backslash is added when missing)
};

// What the run did, for callers that report a summary (kvr's exit status).
struct RestoreOutcome {
    int restored = 0;      // files written
    int failed = 0;        // entries refused, damaged, not decompressed, or on a CD-ROM,
                           // and an archive cut short (inside its header or a record)
    int notFound = 0;      // selected rows never archived or whose entry belongs to another file
    bool stopped = false;  // the stop button ended the run early
};

// Runs the restore over session.currentArchive.
//
// selectedRows: indices into session.rows of the selected rows, used when
// choices.selection is 1 (taken in row order; duplicates and indices past the
// end are ignored).
//
// Payloads are decompressed straight from the archive (the Work folder is not
// used): a file that does not exist yet is written in place (and removed again
// on failure), an existing one through a temporary file beside it. Sets the overall
// bar's range (the selected count, or rows - 1) and moves it per entry; labels "Fichier : ..." and
// "Dossier : ..."; polls ui.cancelRequested() before each entry; forwards the
// decompression progress of session.gzip to ui.setFilePercent during the run.
//
// Messages, each as the run meets it: an incompatible archive (error, nothing
// restored); a selected row never archived (information); a destination on a
// CD-ROM drive (warning, "Opération annulée" in the file label); an entry that
// would land outside the chosen folder, or not on a drive (error "Impossible de
// restaurer le fichier < path > : chemin refusé"); an entry that is damaged or
// not sound (format::CheckEntry, error "Impossible de décompresser le fichier
// < name >"); after an all-entries walk, an archive cut short inside its
// header or a record (counted as one failure) or whose damaged record hides
// the entries after it (error). A file that already exists is replaced only by
// a completely decompressed copy that was found sound.
//
// Throws kv::Error when the archive cannot be opened or positioned at a
// payload: the run ends there.
RestoreOutcome RestoreFiles(Session& session, const RestoreChoices& choices,
                            const std::vector<std::size_t>& selectedRows, Ui& ui);

}  // namespace kv

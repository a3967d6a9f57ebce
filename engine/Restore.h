#pragma once
// RestoreFiles: writes stored files of the open archive back to disk, every
// entry of the archive file (walked in file order) or the entries of chosen
// catalog rows (reached through their entry offsets), each into its stored
// folder, into one chosen folder, or into the chosen folder below a copy of
// its stored folder tree. The archive is only read; the catalog is not changed.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/EntryExtract.h"
#include "engine/OpenArchive.h"
#include "util/Ui.h"

namespace kv {

// The four choices of the restore dialog.
// Which entries a restore writes back (RestoreSelection).
enum class RestoreSelection { AllEntries, SelectedRows };

struct RestoreChoices {
    RestoreSelection selection = RestoreSelection::AllEntries;
    bool toOrigin = true;  // RestoreToOrigin: back into the stored folders (wins over tree)
    bool tree = true;      // RestoreTree: folder + stored folder without its drive part
    std::string folder;    // RestoreFolder: the chosen folder (a backslash is added when missing)
    // A file already there: Ask (the window) asks before replacing a newer one;
    // kvr takes its --overwrite rule.
    format::Overwrite overwrite = format::Overwrite::Ask;
};

// What the run did, for callers that report a summary (kvr's exit status).
struct RestoreOutcome {
    int restored = 0;      // files written
    int failed = 0;        // entries refused, damaged, not decompressed, or on a CD-ROM,
                           // and an archive cut short (inside its header or a record)
    int notFound = 0;      // selected rows never archived or whose entry belongs to another file
    int kept = 0;          // files already there that were kept (newer, or the rule said so)
    bool stopped = false;  // the stop button, or Annuler to the replace question, ended the run
};

// Runs the restore over archive.path.
//
// selectedRows: indices into archive.rows of the selected rows, used when
// choices.selection is SelectedRows (taken in row order; duplicates and
// indices past the end are ignored).
//
// Payloads are decompressed straight from the archive (the Work folder is not
// used) by one format::EntryWriter: each file through a temporary file beside
// it, renamed into place once found sound, with its stored date. Sets the
// overall bar's range (the selected count, or rows - 1) and moves it per
// entry; labels "Fichier : ..." and "Dossier : ..."; polls
// ui.cancelRequested() before each entry; the percentages of each payload's
// read go to ui.setFilePercent, each followed by ui.pump().
//
// Messages, each as the run meets it: an incompatible archive (error, nothing
// restored); a selected row never archived (information); a destination on a
// CD-ROM drive (warning, "Opération annulée" in the file label); an entry that
// would land outside the chosen folder, not on a drive, or through a link
// (error "Impossible de restaurer le fichier < path > : chemin refusé"); an
// entry whose destination an earlier entry of the run was written to (error);
// with Overwrite::Ask, a file there newer than the stored copy (confirmation
// "Le fichier < path > existe déjà et il est plus récent que la copie
// archivée.\rLe remplacer ?", Oui, Oui pour tous, Non by default, Annuler,
// which ends the run); with the other rules, each file kept (information
// "path : conservé : ..."); an entry that is damaged or not sound
// (format::CheckEntry, error "Impossible de décompresser le fichier
// < name >"); after an all-entries walk, an archive cut short inside its
// header or a record (counted as one failure) or whose damaged record hides
// the entries after it (error).
//
// Throws kv::Error when the archive cannot be opened or positioned at a
// payload: the run ends there.
RestoreOutcome RestoreFiles(const OpenArchive& archive, const RestoreChoices& choices,
                            const std::vector<std::size_t>& selectedRows, Ui& ui);

// The rows whose file is missing on disk (EntryStatus Missing), in row order.
std::vector<std::size_t> missingRows(const Catalog& rows);

// "Restaurer les fichiers manquants": RestoreFiles over the missing rows, each
// entry into its stored folder with its stored date; a file that has appeared
// under such a name since the catalog was read is kept (and told). Afterwards
// the status of those rows is read again (refreshStatuses, engine/CatalogReader.h):
// a file restored shows as unchanged. No missing row: nothing is done.
RestoreOutcome RestoreMissingFiles(OpenArchive& archive, Ui& ui);

}  // namespace kv

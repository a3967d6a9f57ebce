#pragma once
// The line the main window's status bar shows for a few seconds after an
// archiving or a restore run: what the run's result holds, counted with the
// locale's thousands separator. Empty when there is nothing to add to what the
// run's own boxes said (a run refused because another writer held the archive).

#include <string>

#include "engine/ArchiveRun.h"
#include "engine/Restore.h"
#include "util/Format.h"

namespace kv {

// "Archive mise à jour : 1 204 fichiers archivés, 3 repris, 0 laissé de côté,
// 0 en erreur"; a run that did not replace the archive says so and why.
std::string archiveRunSummary(const ArchiveResult& result, const LocaleSeparators& sep);

// "Restauration terminée : 12 fichiers restaurés, 0 en erreur", with the rows
// not found in the archive when there were any; "Restauration interrompue"
// when the stop button ended it.
std::string restoreRunSummary(const RestoreOutcome& outcome, const LocaleSeparators& sep);

}  // namespace kv

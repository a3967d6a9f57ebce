#pragma once
// VerifyArchive: proves, row by row, what the catalog only guesses from dates.
//
// Every stored row of the catalog is checked in one pass, several rows at
// once on worker threads (workerThreads(options.threads), engine/WorkPool.h):
//   - its stored member is inflated and checked (format::CheckEntry: a gzip
//     member of FileSize bytes whose CRC-32 and length agree with its data);
//   - against the disk (VerifyScope::AgainstDisk), its file is read once and
//     its CRC-32 and length compared with the member's.
// Nothing is written, neither to the archive nor to the disk; only the rows'
// statuses change (see VerifyFinding), and they stay so until the next load.
//
// VerifyScope::ArchiveOnly checks the members alone ("Tester l'archive"),
// for an archive whose files are gone: a damaged member marks its row
// Damaged, a sound one leaves the row's status as it was.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "util/Ui.h"

namespace kv {

enum class VerifyScope { AgainstDisk, ArchiveOnly };

// What the check of one row found.
enum class VerifyFinding {
    Equal,       // the member is sound and the file on disk holds the same data (or, for
                 // ArchiveOnly, the member is sound): status Unchanged (ArchiveOnly: kept)
    Differs,     // the file's content is not the stored one although its date says it is
                 // not newer: status Differs
    Modified,    // the file is newer than the stored copy and its content differs: Modified
    Damaged,     // the stored member is damaged, or the row's entry is not at its offset:
                 // Damaged (wins over what the disk holds)
    Missing,     // no file on disk: Missing
    Unreadable,  // the file is there but cannot be read: status kept
    NotStored,   // the row was never archived (New): not checked, status kept
};
constexpr int VerifyFindingCount = 7;

struct VerifiedRow {
    std::size_t row = 0;  // index into archive.rows
    VerifyFinding finding = VerifyFinding::Equal;
    std::string detail;  // Damaged: what is wrong with the entry, in French
};

struct VerifyOutcome {
    // Rows by finding (NotStored included), in VerifyFinding order.
    int counts[VerifyFindingCount] = {};
    // Every row checked that is not Equal, in row order (NotStored ones left out).
    std::vector<VerifiedRow> problems;
    bool stopped =
        false;  // the stop button ended the check: the rows not reached keep their status
    bool refused = false;  // nothing was checked: the archive could not be read as the rows
                           // say (the user was told why)

    int count(VerifyFinding finding) const { return counts[static_cast<int>(finding)]; }
    // True when every stored row was proven equal (sound, for ArchiveOnly) and
    // the check ran to its end.
    bool allEqual() const;
};

// Checks every stored row of archive.rows against the archive file archive.path.
//
// Progress: the run's bar counts the rows finished (range: the rows to check
// - 1), the labels name the last row finished, ui.pump() runs while the
// workers work, and ui.cancelRequested() stops the check (the workers end at
// their next read). Each row's status is set as its check ends.
//
// Refused (error box, nothing checked): the archive cannot be opened or is
// not of this format; the archive was rewritten since the rows were read from
// it (archive.catalogSource), so their offsets no longer say where their
// entries are. Never throws for I/O: a read that fails is the row's finding.
VerifyOutcome VerifyArchive(OpenArchive& archive, const RunOptions& options, VerifyScope scope,
                            Ui& ui);

// A finding in French, for kvr verify's lines: "absent du disque",
// "endommagé dans l'archive : CRC-32 incorrect", ...
std::string findingText(const VerifiedRow& row);

// The summary of a check, for the status bar and kvr:
// "Vérification : 12 identique(s), 1 différent(s), 0 modifié(s), 1 endommagé(s),
// 2 manquant(s)" (the unreadable and not stored rows only when there are some;
// "Test : 15 intacte(s), 1 endommagée(s)" for ArchiveOnly), then ", arrêtée"
// when stopped.
std::string verifySummary(const VerifyOutcome& outcome, VerifyScope scope);

}  // namespace kv

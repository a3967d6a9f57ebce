#pragma once
// The archiving run of the automatic mode: the run of ArchiveFiles on the
// loaded catalog without the progress frame, without cancel and without
// per-file messages, and with missing files always carried over. It shares
// ArchiveRun's steps, so it replaces the archive the same safe way and leaves
// nothing in the Work folder.

#include <string>

#include "engine/ArchiveRun.h"
#include "engine/AutoJournal.h"
#include "util/Ui.h"

namespace kv {

// The line added to the journal when the archive was not replaced for lack of
// room on its drive.
extern const char* const NoRoomJournalLine;

// Runs over archive.rows in order: a file that exists is stored (a file that
// cannot be stored keeps its last stored entry, or is left out, with no
// message: the result's problems tell it); a missing file's entry is carried
// over (a row never archived is left out, likewise). The only message is the
// incompatible-file box when the old archive lost its signature; the run then
// stops and the archive is untouched. When the archive's drive has no room,
// the archive stays as it was and, when the journal exists, NoRoomJournalLine
// is appended to it. No progress is shown, no events are pumped and the
// catalog is not re-read. Throws kv::Error like ArchiveFiles for an error that
// stops the run. held: as for ArchiveFiles.
ArchiveResult AutoArchiveFiles(OpenArchive& archive, RunOptions& options, const Environment& env,
                               Ui& ui, const WriterLock* held = nullptr);

}  // namespace kv

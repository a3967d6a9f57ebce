#pragma once
// The automatic mode, what "Korvelt /AUTOSAVE" does between its start and its
// end: it reads the archive and the script named in AutoSave.cfg, loads the
// archive, adds every file the script lists, runs the automatic archiving run,
// and tells the outcome by its exit status (engine/AutoJournal.h) and by one
// journal line per failure it met. Nobody is asked anything: the Ui is an
// UnattendedUi, and every box it recorded becomes a journal line too.
//
// Mends of the plain automatic mode, each so that an unattended backup never
// fails unseen and never loses what the archive held:
//   - an archive that cannot be read whole (not of this format, a read error)
//     is left as it is instead of being replaced by one that lacks its entries;
//   - a file whose name is too long to be stored is skipped with a journal line
//     (nobody can shorten it) and the run counts as incomplete;
//   - an archive that another run is rewriting is waited for, a minute at most,
//     then left alone with a journal line; its writer lock is then held from
//     before the archive is read to the end of the run, so that no other
//     writer's entries are lost in between.

#include <chrono>
#include <functional>
#include <memory>

#include "engine/Adding.h"
#include "engine/ArchiveRun.h"
#include "engine/Environment.h"
#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "engine/UnattendedUi.h"
#include "platform/WriterLock.h"

namespace kv {

struct AutoModeOptions {
    TypeNameProvider typeName;  // the type texts of the files the script adds
    // How long an archive that another run rewrites is waited for.
    std::chrono::milliseconds archiveWait = std::chrono::minutes(1);
    // Hears the archiving run's counts when it ran (not when the run stopped
    // before it: no settings, no archive, no script, ...).
    std::function<void(const ArchiveResult&)> archived;
};

// Runs the automatic mode over the archive (its sort key), with the options
// and the clock as the settings file and the program gave them (the Work
// folder, the dated comment).
// Returns the exit status (autoexit::...). Journal lines go to JournalPath()
// when the journal exists, stamped with env.now(). Never throws.
int RunAutoSave(OpenArchive& archive, RunOptions& options, const Environment& env, UnattendedUi& ui,
                const AutoModeOptions& autoOptions);

// Takes the archive's writer lock, trying again every quarter second for
// `limit` while another run holds it. The lock (held; refused, with its
// message saying why; or unavailable when no lock file can be made beside the
// archive), or nullptr when the archive stayed busy.
std::unique_ptr<WriterLock> WaitForArchive(const std::string& archive,
                                           std::chrono::milliseconds limit);

}  // namespace kv

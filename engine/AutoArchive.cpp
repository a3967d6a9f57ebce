#include "engine/AutoArchive.h"

#include <vector>

#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/PathHelpers.h"

namespace kv {

const char* const NoRoomJournalLine =
    "======================= L'opération mentionnée ci-dessous a été annulée en raison d'un manque "
    "d'espace disque =======================";

ArchiveResult AutoArchiveFiles(OpenArchive& archive, RunOptions& options, const Environment& env,
                               Ui& ui, const WriterLock* held) {
    ArchiveRun run(archive, options, env, ui, ArchiveRun::Mode::Automatic, held);
    bool stopped = false;
    try {
        if (!run.start()) {
            run.abandon();
            return run.result();
        }
        for (std::size_t i = 0; i < archive.rows.size() && !stopped; ++i) {
            const CatalogRow& row = archive.rows[i];
            const std::string fullPath = row.fullPath();
            const ArchiveRun::Step step = platform().fileExists(fullPath)
                                              ? run.StoreFile(i, row, fullPath)
                                              : run.CarryOver(row, fullPath, false);
            stopped = step == ArchiveRun::Step::Stop;
        }
        if (!stopped) run.finishCopy();
    } catch (const Error&) {
        run.abandon();
        throw;
    }
    if (stopped) {
        run.abandon();
        return run.result();
    }
    if (run.ReplaceArchive() == ArchiveRun::Replace::NoRoom)
        AppendJournalLine(JournalPath(), NoRoomJournalLine);
    return run.result();
}

}  // namespace kv

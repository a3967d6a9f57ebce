// kvr verify ARCHIVE: proves every stored file against the disk (engine/
// ArchiveVerify.h): each member is checked and each file on disk compared
// with it by CRC-32 and length. One line per file not proven equal, in file
// order, then the counts. Nothing is written.

#include <iostream>

#include "engine/ArchiveVerify.h"
#include "engine/CatalogReader.h"
#include "tools/kvr/KvrCommon.h"

namespace kvr {

int verifyCommand(const Args& args) {
    if (args.size() != 1) {
        printError("Usage : kvr verify [-q] ARCHIVE");
        return ExitUsage;
    }
    kv::OpenArchive archive;
    archive.path = windowsPath(args[0]);
    openArchive(archive.path);  // the program's message when it is no archive
    archive.sortKey = 0;        // the rows stay in file order

    CliUi ui;
    const kv::LoadResult load = kv::LoadArchive(archive, ui);
    bool archiveFault = false;
    if (load.outcome == kv::LoadOutcome::ReadError) {
        // The rows read before the damage are still checked.
        printError(load.error);
        archiveFault = true;
    }
    std::vector<int64_t> sizes;
    for (const kv::CatalogRow& row : archive.rows) sizes.push_back(row.size);
    ui.trackProgress(sizes);
    const kv::VerifyOutcome outcome =
        kv::VerifyArchive(archive, kv::RunOptions{}, kv::VerifyScope::AgainstDisk, ui);
    ui.endProgress();
    if (outcome.refused) return ExitFailure;
    for (const kv::VerifiedRow& row : outcome.problems)
        std::cout << terminalSafe(archive.rows[row.row].fullPath()) << " : " << kv::findingText(row)
                  << '\n';
    std::cout << kv::verifySummary(outcome, kv::VerifyScope::AgainstDisk) << '\n';
    return outcome.allEqual() && !archiveFault ? ExitOk : ExitFailure;
}

}  // namespace kvr

// kvr repair ARCHIVE: rewrites a damaged archive with every entry that is
// still sound (engine/ArchiveRepair.h), keeping the old file beside it as
// ARCHIVE.bak; one line per record corrected and per loss, then the counts.

#include <iostream>

#include "engine/ArchiveFormat.h"
#include "engine/ArchiveRepair.h"
#include "platform/WriterLock.h"
#include "tools/kvr/KvrCommon.h"

namespace kvr {

int repairCommand(const Args& args) {
    if (args.size() != 1) {
        printError("Usage : kvr repair ARCHIVE");
        return ExitUsage;
    }
    const std::string path = windowsPath(args[0]);
    if (!kv::platform().fileExists(path)) {
        printError("Le fichier < " + path + " > n'existe pas.");
        return ExitFailure;
    }
    CliUi ui;
    kv::ArchiveRepair repair(path);
    switch (repair.examine(ui)) {
        case kv::ArchiveRepair::Finding::Busy:
            printError(kv::WriterLock::busyMessage(path));
            return ExitBusy;
        case kv::ArchiveRepair::Finding::Incompatible:
            printError(kv::format::IncompatibleMessage);
            return ExitFailure;
        case kv::ArchiveRepair::Finding::Sound:
            std::cout << repair.kept()
                      << " entrée(s) intacte(s) : l'archive n'a pas besoin d'être réparée\n";
            return ExitOk;
        case kv::ArchiveRepair::Finding::Stopped:
            return ExitFailure;
        case kv::ArchiveRepair::Finding::Damaged:
            break;
    }
    for (const std::string& correction : repair.corrections())
        std::cout << "Corrigé : " << correction << '\n';
    for (const kv::RepairLoss& loss : repair.losses())
        std::cout << "Perdu : " << loss.text() << '\n';
    repair.write(ui);
    std::cout << "Archive réparée : " << repair.kept() << " entrée(s) conservée(s), "
              << repair.corrections().size() << " corrigée(s), " << repair.losses().size()
              << " perte(s), l'original est gardé sous < " << repair.backupPath() << " >\n";
    // Something lost is a failure even though the repair was made.
    return repair.losses().empty() ? ExitOk : ExitFailure;
}

}  // namespace kvr

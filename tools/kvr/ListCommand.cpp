// kvr list ARCHIVE: one line per entry in file order,
// FileName;Folder;FileSize;CompressedSize;dd/mm/yyyy hh:nn;TypeName;entry offset

#include <iostream>

#include "engine/ArchiveFormat.h"
#include "tools/kvr/KvrCommon.h"
#include "util/Format.h"

namespace kvr {

int listCommand(const Args& args) {
    if (args.size() != 1) {
        printError("Usage : kvr list ARCHIVE");
        return ExitUsage;
    }
    const std::string path = windowsPath(args[0]);
    auto file = openArchive(path);
    const kv::LocaleSeparators separators;  // "/" and ":"

    kv::format::ArchiveWalker walk(*file);
    bool damaged = walk.fileSize() < kv::format::HeaderSize;
    if (damaged) printError("Archive tronquée : en-tête incomplet.");
    while (auto entry = walk.next()) {
        std::cout << entry->fileName << ';' << entry->folder << ';' << entry->fileSize << ';'
                  << entry->compressedSize << ';'
                  << kv::formatDosDateTime(entry->fileDate, separators) << ';'
                  << entry->typeName << ';' << walk.offset() << '\n';
        if (!kv::format::payloadFits(*entry, walk.payloadStart(), walk.fileSize())) {
            printError(entry->fullPath() + " : contenu coupé par la fin de l'archive");
            damaged = true;
        }
    }
    std::cout.flush();
    if (walk.failed()) {
        printError("Erreur de lecture du fichier < " + path + " >.");
        return ExitFailure;
    }
    if (walk.cutShort()) {
        printError("Archive tronquée : la dernière entrée est incomplète.");
        return ExitFailure;
    }
    return damaged ? ExitFailure : ExitOk;
}

}  // namespace kvr

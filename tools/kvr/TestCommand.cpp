// kvr test ARCHIVE: inflates every payload to nowhere, checking its member's
// CRC-32 and length and the size the record gives; one line per damaged entry,
// then the counts.

#include <iostream>

#include "engine/ArchiveFormat.h"
#include "engine/TGzip.h"
#include "tools/kvr/KvrCommon.h"

namespace kvr {

namespace {

// What is wrong with one entry, or "" when it is sound.
std::string checkEntry(kv::File& file, const kv::format::EntryRecord& entry,
                       const kv::format::ArchiveWalker& walk) {
    if (entry.compressedSize < 0) return "taille compressée négative";
    if (!kv::format::payloadFits(entry, walk.payloadStart(), walk.fileSize()))
        return "contenu coupé par la fin de l'archive";
    if (entry.compressedSize == 0) return entry.fileSize == 0 ? "" : "contenu vide";
    if (!file.seek(walk.payloadStart())) return "erreur de lecture";
    const auto check = kv::TGzip::verifyMember(file, entry.compressedSize);
    if (check.fault != kv::TGzip::MemberFault::None) return kv::TGzip::faultText(check.fault);
    if (check.length != entry.fileSize) return "taille différente de celle de l'entrée";
    return "";
}

}  // namespace

int testCommand(const Args& args) {
    if (args.size() != 1) {
        printError("Usage : kvr test ARCHIVE");
        return ExitUsage;
    }
    const std::string path = windowsPath(args[0]);
    auto file = openArchive(path);

    int entries = 0;
    int damaged = 0;
    bool archiveFault = false;
    kv::format::ArchiveWalker walk(*file);
    if (walk.fileSize() < kv::format::HeaderSize) {
        std::cout << "Archive tronquée : en-tête incomplet\n";
        archiveFault = true;
    }
    while (auto entry = walk.next()) {
        ++entries;
        const std::string problem = checkEntry(*file, *entry, walk);
        if (!problem.empty()) {
            ++damaged;
            std::cout << entry->fullPath() << " : " << problem << '\n';
        }
    }
    if (walk.failed()) {
        std::cout << "Erreur de lecture de l'archive\n";
        archiveFault = true;
    }
    if (walk.cutShort()) {
        std::cout << "Archive tronquée : la dernière entrée est incomplète\n";
        archiveFault = true;
    }
    std::cout << entries << " entrée(s), " << entries - damaged << " intacte(s), " << damaged
              << " endommagée(s)\n";
    return damaged == 0 && !archiveFault ? ExitOk : ExitFailure;
}

}  // namespace kvr

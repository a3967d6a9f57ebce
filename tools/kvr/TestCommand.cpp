// kvr test ARCHIVE: checks every entry with the engine's one soundness check
// (engine/EntryCheck.h), inflating each payload to nowhere; one line per
// damaged entry, then the counts. On a terminal, a progress line on standard
// error follows the bytes of the archive read so far.

#include <iostream>
#include <optional>

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "tools/kvr/KvrCommon.h"
#include "tools/kvr/ProgressLine.h"

namespace kvr {

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
    std::optional<ProgressLine> progress;
    if (ProgressLine::wanted()) progress.emplace(0, walk.fileSize());
    if (walk.fileSize() < kv::format::HeaderSize) {
        std::cout << "Archive tronquée : en-tête incomplet\n";
        archiveFault = true;
    }
    while (auto entry = walk.next()) {
        ++entries;
        const std::string problem =
            kv::format::CheckEntry(*file, *entry, walk.payloadStart()).text();
        if (!problem.empty()) {
            ++damaged;
            ProgressLine::eraseCurrent();
            std::cout << terminalSafe(entry->fullPath()) << " : " << problem << '\n';
            std::cout.flush();
        }
        if (progress) progress->update(entries, walk.payloadStart() + entry->compressedSize);
    }
    progress.reset();
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

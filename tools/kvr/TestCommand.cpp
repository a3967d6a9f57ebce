// kvr test ARCHIVE: checks every entry with the engine's one soundness check
// (engine/EntryCheck.h), inflating each payload to nowhere, on every core at
// once (KORVELT_THREADS says how many); one line per damaged entry, in file
// order, then the counts. On a terminal, a progress line on standard error
// follows the bytes of the archive checked so far.

#include <iostream>
#include <optional>

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "engine/SharedReader.h"
#include "tools/kvr/KvrCommon.h"
#include "tools/kvr/ProgressLine.h"

namespace kvr {

int testCommand(const Args& args) {
    if (args.size() != 1) {
        printError("Usage : kvr test ARCHIVE");
        return ExitUsage;
    }
    const std::string path = windowsPath(args[0]);
    kv::SharedReader archive(openArchive(path));
    const std::unique_ptr<kv::File> file = archive.reader();

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
    kv::format::CheckEntries(archive, walk, 0,
                             [&](const kv::format::EntryRecord& entry, int64_t payloadStart,
                                 const kv::format::EntryCheck& check) {
                                 ++entries;
                                 if (progress)
                                     progress->update(entries, payloadStart + entry.compressedSize);
                                 if (check.sound()) return;
                                 ++damaged;
                                 ProgressLine::eraseCurrent();
                                 std::cout << terminalSafe(entry.fullPath()) << " : "
                                           << check.text() << '\n';
                                 std::cout.flush();
                             });
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

// kvr sfx ARCHIVE OUTPUT: builds a self-extracting program from the program
// folder's sfx.bin and the archive (an existing OUTPUT is replaced).

#include "engine/SfxBuilder.h"
#include "tools/kvr/KvrCommon.h"

namespace kvr {

int sfxCommand(const Args& args) {
    if (args.size() != 2) {
        printError("Usage : kvr sfx ARCHIVE SORTIE");
        return ExitUsage;
    }
    const std::string archive = windowsPath(args[0]);
    openArchive(archive);  // the program's message when it is missing or no archive
    CliUi ui;
    return kv::BuildSelfExtractor(archive, windowsPath(args[1]), ui) ? ExitOk : ExitFailure;
}

}  // namespace kvr

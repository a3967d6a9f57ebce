// kvr comment ARCHIVE TEXT: rewrites the archive's comment in place (the
// header only; entries and the file's size stay as they are).

#include "engine/HeaderUpdate.h"
#include "platform/WriterLock.h"
#include "tools/kvr/KvrCommon.h"

namespace kvr {

int commentCommand(const Args& args) {
    if (args.size() != 2) {
        printError("Usage : kvr comment ARCHIVE TEXTE");
        return ExitUsage;
    }
    CliUi ui;
    kv::OpenArchive archive;
    archive.path = windowsPath(args[0]);
    if (!kv::platform().fileExists(archive.path)) {
        printError("Le fichier < " + archive.path + " > n'existe pas.");
        return ExitFailure;
    }
    archive.comment = args[1];
    {
        // The header update takes the writer lock itself; asked first, a busy
        // archive gets its own status.
        const kv::WriterLock probe(archive.path);
        if (probe.busy()) {
            printError(probe.message());
            return ExitBusy;
        }
    }
    return kv::WriteHeaderOnly(archive, ui) ? ExitOk : ExitFailure;
}

}  // namespace kvr

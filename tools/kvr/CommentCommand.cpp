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
    kv::Session session;
    session.currentArchive = windowsPath(args[0]);
    if (!kv::platform().fileExists(session.currentArchive)) {
        printError("Le fichier < " + session.currentArchive + " > n'existe pas.");
        return ExitFailure;
    }
    session.comment = args[1];
    {
        // The header update takes the writer lock itself; asked first, a busy
        // archive gets its own status.
        const kv::WriterLock probe(session.currentArchive);
        if (probe.busy()) {
            printError(probe.message());
            return ExitBusy;
        }
    }
    return kv::WriteHeaderOnly(session, ui) ? ExitOk : ExitFailure;
}

}  // namespace kvr

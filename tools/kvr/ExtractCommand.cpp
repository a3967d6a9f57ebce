// kvr extract ARCHIVE (--origin | --to FOLDER [--tree]) [--overwrite RULE]
// [FULL-PATH...]: the restore run over every entry, or over the entries whose
// full path equals one given (without regard to case). A file already there
// is replaced unless it is newer than the stored copy (RULE older, the
// default), always, or never. Exit status 0 when every file was written or
// kept.

#include <iostream>

#include "engine/CatalogReader.h"
#include "engine/Restore.h"
#include "engine/RunOptions.h"
#include "text/Text.h"
#include "tools/kvr/KvrCommon.h"
#include "util/Error.h"
#include "util/PathHelpers.h"

namespace kvr {

namespace {

constexpr const char* ExtractUsage =
    "Usage : kvr extract ARCHIVE (--origin | --to DOSSIER [--tree]) "
    "[--overwrite older|always|never] [CHEMIN...] [-q]";

// The terminal Ui, counting the boxes that tell of a failure.
class CountingUi : public CliUi {
  public:
    kv::Answer message(kv::MessageKind kind, const std::string& text,
                       kv::Buttons buttons) override {
        if (kind == kv::MessageKind::Error || kind == kv::MessageKind::Warning) ++failures;
        return CliUi::message(kind, text, buttons);
    }
    int failures = 0;
};

}  // namespace

int extractCommand(const Args& args) {
    if (args.size() < 2) {
        printError(ExtractUsage);
        return ExitUsage;
    }
    kv::RestoreChoices choices;
    std::size_t next = 1;
    if (args[1] == "--origin") {
        choices.toOrigin = true;
        next = 2;
    } else if (args[1] == "--to" && args.size() >= 3) {
        choices.toOrigin = false;
        choices.folder = kv::WithBackslash(windowsPath(args[2]));
        next = 3;
        choices.tree = next < args.size() && args[next] == "--tree";
        if (choices.tree) ++next;
    } else {
        printError(ExtractUsage);
        return ExitUsage;
    }
    choices.overwrite = kv::format::Overwrite::Older;
    if (next < args.size() && args[next] == "--overwrite") {
        const auto rule =
            next + 1 < args.size() ? kv::format::overwriteRule(args[next + 1]) : std::nullopt;
        if (!rule) {
            printError(ExtractUsage);
            return ExitUsage;
        }
        choices.overwrite = *rule;
        next += 2;
    }
    const Args wanted(args.begin() + static_cast<std::ptrdiff_t>(next), args.end());

    kv::OpenArchive archive;
    archive.path = windowsPath(args[0]);
    openArchive(archive.path);  // the program's message when it is no archive

    CountingUi ui;
    int missing = 0;
    std::vector<std::size_t> rows;
    if (!wanted.empty()) {
        choices.selection = kv::RestoreSelection::SelectedRows;
        const kv::LoadResult load = kv::LoadArchive(archive, ui);
        if (load.outcome == kv::LoadOutcome::ReadError) throw kv::Error(load.error);
        for (const std::string& path : wanted) {
            bool found = false;
            for (std::size_t i = 0; i < archive.rows.size(); ++i)
                if (kv::text::equalNoCase(archive.rows[i].fullPath(), path)) {
                    rows.push_back(i);
                    found = true;
                }
            if (!found) {
                printError("Le fichier < " + path + " > ne se trouve pas dans l'archive");
                ++missing;
            }
        }
    }

    const kv::RestoreOutcome outcome = kv::RestoreFiles(archive, choices, rows, ui);
    ui.endProgress();
    std::cout << outcome.restored << " fichier(s) restauré(s), ";
    if (outcome.kept > 0) std::cout << outcome.kept << " conservé(s), ";
    std::cout << outcome.failed + missing + outcome.notFound << " en erreur\n";
    const bool failed =
        ui.failures > 0 || outcome.failed > 0 || outcome.notFound > 0 || missing > 0;
    return failed ? ExitFailure : ExitOk;
}

}  // namespace kvr

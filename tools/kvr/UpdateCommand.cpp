// kvr update ARCHIVE [PATH...] [--script FILE]... [--drop-missing] [--comment TEXT]
//            [--date-comment] [--recompress] [--threads N]
//
// Loads the archive when it exists (else it is a new one), adds each PATH (a
// file, or a folder with its subfolders, as a script's "*.*" line takes it)
// and every line of each selection script to the catalog, and runs the
// archiving run. A PATH that names nothing is said and counted as left out. Missing
// files of an existing archive are carried over unless --drop-missing. The
// archive keeps its comment unless --comment gives another. The last line on
// standard error counts what was stored, carried over and left out (the files
// the scripts named that could not be taken in included). Exit status 0 only
// when nothing failed and nothing was left out but what --drop-missing asked;
// 3 when another run is writing the archive. --recompress compresses every file
// again, even one whose stored member is still its own; --threads N makes up to
// N members at once (default: KORVELT_THREADS, else the number of cores).

#include <charconv>
#include <iostream>

#include "engine/Adding.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/SelectionScript.h"
#include "mime/TypeText.h"
#include "platform/Platform.h"
#include "tools/kvr/KvrCommon.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace kvr {

namespace {

constexpr const char* UpdateUsage =
    "Usage : kvr update ARCHIVE [CHEMIN...] [--script FICHIER]... [--drop-missing] "
    "[--comment TEXTE] [--date-comment] [--recompress] [--threads N] [-q]";

// A whole number of 1 or more, else 0.
int threadCount(const std::string& text) {
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc() && end == text.data() + text.size() && count > 0 ? count : 0;
}

// A row's size in bytes, for the progress line (0 when its text is no number).
int64_t sizeOf(const kv::CatalogRow& row) {
    int64_t size = 0;
    const std::string& text = row.sub[1];
    std::from_chars(text.data(), text.data() + text.size(), size);
    return size;
}

}  // namespace

int updateCommand(const Args& args) {
    std::string archiveArgument;
    std::vector<std::string> paths;
    std::vector<std::string> scripts;
    std::optional<std::string> comment;
    bool dropMissing = false;
    bool dateComment = false;
    bool recompress = false;
    int threads = 0;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || !arg.starts_with("-")) {
            if (archiveArgument.empty())
                archiveArgument = arg;
            else
                paths.push_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if ((arg == "--script" || arg == "--comment") && i + 1 < args.size()) {
            if (arg == "--script")
                scripts.push_back(args[++i]);
            else
                comment = args[++i];
        } else if (arg == "--threads" && i + 1 < args.size() && threadCount(args[i + 1]) > 0) {
            threads = threadCount(args[++i]);
        } else if (arg == "--drop-missing") {
            dropMissing = true;
        } else if (arg == "--recompress") {
            recompress = true;
        } else if (arg == "--date-comment") {
            dateComment = true;
        } else {
            printError(UpdateUsage);
            return ExitUsage;
        }
    }
    if (archiveArgument.empty()) {
        printError(UpdateUsage);
        return ExitUsage;
    }

    CliUi ui;
    kv::Session session;
    session.currentArchive = windowsPath(archiveArgument);
    session.workFolder = kv::DefaultWorkFolder();
    session.dateComment = dateComment;
    session.checkRecupeFile = dropMissing;
    session.recompressAll = recompress;
    session.threads = threads;

    const kv::LoadResult loaded = kv::LoadArchive(session, ui);
    if (loaded.outcome == kv::LoadOutcome::Incompatible) return ExitFailure;
    if (loaded.outcome == kv::LoadOutcome::ReadError) {
        // Archiving now would drop the entries that could not be read.
        printError(loaded.error);
        return ExitFailure;
    }
    if (comment) session.comment = *comment;

    kv::AddOperation adding(session, ui, kv::TypeTextOf, [](const std::string& fileName) {
        printError("Nom trop long, fichier ignoré : " + fileName);
        return std::string();
    });
    for (const std::string& typed : paths) {
        const std::string path = windowsPath(typed);
        if (kv::platform().directoryExists(path)) {
            kv::AddSelectionEntry(adding, kv::WithBackslash(path) + "*.*");
        } else if (kv::platform().fileExists(path)) {
            kv::AddSelectionEntry(adding, path);
        } else {
            printError("Le fichier ou le dossier < " + typed + " > n'existe pas.");
            ++adding.leftOut;
        }
    }
    for (const std::string& script : scripts) {
        for (const std::string& line : kv::ReadSelectionScript(windowsPath(script)))
            kv::AddSelectionEntry(adding, line);
    }

    std::vector<int64_t> rowBytes;
    rowBytes.reserve(session.rows.size());
    for (const kv::CatalogRow& row : session.rows) rowBytes.push_back(sizeOf(row));
    ui.trackProgress(rowBytes);
    const kv::ArchiveResult result = kv::ArchiveFiles(session, ui, [] {});
    ui.endProgress();
    if (result.busy) return ExitBusy;
    printError("Fichiers archivés : " + std::to_string(result.stored) +
               ", repris de l'archive : " + std::to_string(result.carriedOver) +
               ", laissés de côté : " + std::to_string(result.leftOut + adding.leftOut));
    return result.clean() && adding.leftOut == 0 ? ExitOk : ExitFailure;
}

}  // namespace kvr

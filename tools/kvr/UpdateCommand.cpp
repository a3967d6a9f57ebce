// kvr update ARCHIVE [PATH...] [--script FILE]... [--drop-missing] [--comment TEXT]
//            [--date-comment] [--recompress] [--threads N]
//
// Goes through the archive's entries when it exists (else it is a new one), in
// file order and without holding its catalog, then through each PATH (a file,
// or a folder with its subfolders, as a script's "*.*" line takes it) and the
// files of each selection script it does not hold: the archiving run of
// UpdateArchive. A PATH that names nothing is said and counted as left out. Missing
// files of an existing archive are carried over unless --drop-missing. The
// archive keeps its comment unless --comment gives another. The last line on
// standard error counts what was stored, carried over and left out (the files
// the scripts named that could not be taken in included). Exit status 0 only
// when nothing failed and nothing was left out but what --drop-missing asked;
// 3 when another run is writing the archive (its writer lock is taken before
// the archive is read, and held to the end). When the archive could not be
// replaced the counts say so: nothing stored or carried over, every row left
// out. --recompress compresses every file again, even one whose stored member
// is still its own; --threads N makes up to N members at once (default:
// KORVELT_THREADS, else the number of cores).

#include <algorithm>
#include <charconv>
#include <functional>
#include <iostream>

#include "engine/Adding.h"
#include "engine/ArchiveFormat.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/SelectionScript.h"
#include "mime/TypeText.h"
#include "platform/Platform.h"
#include "platform/WriterLock.h"
#include "text/Text.h"
#include "tools/kvr/KvrCommon.h"
#include "tools/kvr/ProgressLine.h"
#include "util/Error.h"
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

// The size of each row UpdateArchive goes through, in its order, for the
// progress line: the archive's entries in file order, then the rows added
// that the archive does not hold. Only the records are read, and of the paths
// only a hash is kept, so a large archive costs little memory here too.
std::vector<int64_t> rowSizes(const kv::OpenArchive& archive) {
    std::vector<int64_t> sizes;
    std::vector<std::size_t> held;
    const auto key = [](const std::string& path) {
        return std::hash<std::string>{}(kv::text::foldKey(path));
    };
    if (kv::platform().fileExists(archive.path)) {
        const std::unique_ptr<kv::File> file = openArchive(archive.path);
        kv::format::ArchiveWalker walk(*file);
        while (const std::optional<kv::format::EntryRecord> entry = walk.next()) {
            sizes.push_back(entry->fileSize);
            held.push_back(key(entry->fullPath()));
        }
    }
    std::sort(held.begin(), held.end());
    for (const kv::CatalogRow& row : archive.rows)
        if (!std::binary_search(held.begin(), held.end(), key(row.fullPath())))
            sizes.push_back(row.size);
    return sizes;
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
    bool optionsEnd = false;  // after "--": every argument is a path
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || !arg.starts_with("-")) {
            if (archiveArgument.empty())
                archiveArgument = arg;
            else
                paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
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
    kv::OpenArchive archive;
    kv::RunOptions options;
    archive.path = windowsPath(archiveArgument);
    options.workFolder = kv::DefaultWorkFolder();
    options.dateComment = dateComment;
    options.checkRecupeFile = dropMissing;
    options.recompressAll = recompress;
    options.threads = threads;

    // The writer lock comes before the archive is read: a writer that
    // finished between the read and the run would lose what it stored.
    const kv::WriterLock lock(archive.path);
    if (lock.busy()) {
        printError(lock.message());
        return ExitBusy;
    }
    if (lock.refused()) {
        printError(lock.message());
        return ExitFailure;
    }

    // The catalog is not read whole: the run goes through the archive's
    // entries in file order (UpdateArchive), so an archive of any size costs
    // little memory. Here only its comment is read, and its stamp kept.
    archive.catalogSource = kv::ArchiveStampOf(archive.path);
    if (kv::platform().fileExists(archive.path)) {
        const std::unique_ptr<kv::File> file = openArchive(archive.path);
        kv::format::HeaderBlock header;
        if (!file->seek(0) || !kv::format::readHeaderBlock(*file, header))
            throw kv::Error("Erreur de lecture du fichier < " + archive.path + " >.");
        archive.comment = kv::format::decodeHeader(header).comment;
    }
    if (comment) archive.comment = *comment;

    kv::AddOperation adding(archive, ui, kv::TypeTextOf, [](const std::string& fileName) {
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

    if (ProgressLine::wanted()) ui.trackProgress(rowSizes(archive));
    const kv::ArchiveResult result =
        kv::UpdateArchive(archive, options, kv::Environment(), ui, &lock);
    ui.endProgress();
    if (result.busy || result.changed) return ExitBusy;
    // The counts say what the archive holds now: nothing of this run when it
    // was not replaced, every row it went through left out.
    const int rows = result.stored + result.carriedOver + result.leftOut;
    printError("Fichiers archivés : " + std::to_string(result.replaced ? result.stored : 0) +
               ", repris de l'archive : " +
               std::to_string(result.replaced ? result.carriedOver : 0) + ", laissés de côté : " +
               std::to_string((result.replaced ? result.leftOut : rows) + adding.leftOut));
    return result.clean() && adding.leftOut == 0 ? ExitOk : ExitFailure;
}

}  // namespace kvr

// The extractor stub: a self-extracting program is this program followed by an
// archive and a 4-byte trailer. Started without arguments it extracts every
// file into a folder named after itself in the current folder, recreating the
// stored folder tree below it.
//
//   programme                       extract into ./<name of the program>/ with the tree
//   programme --to DOSSIER [--tree] extract into DOSSIER (with the tree when --tree)
//   programme --origin              extract into the stored folders
//   programme --list                list the stored files
//   programme --test                check every stored file
//
// The extracting forms take --overwrite older|always|never: what becomes of a
// file already there (older, the default: it is replaced unless it is newer
// than the stored copy). Folders are Windows drive paths (C:\...) or host
// paths. Entries that would land outside the chosen folder, or go through a
// link below it, are refused. Exit status 0 when everything went well (files
// kept are not failures), 1 otherwise, with a message on standard error.

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "EmbeddedArchive.h"
#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "engine/EntryExtract.h"
#include "engine/SharedReader.h"
#include "engine/WorkPool.h"
#include "platform/DosTime.h"
#include "platform/Platform.h"
#include "util/CommandGuard.h"

namespace {

using namespace kv;

void say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

int usage() {
    say("Usage : programme [--to DOSSIER [--tree] | --origin] [--overwrite older|always|never]"
        " | --list | --test");
    return 1;
}

std::string ownHostPath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool isDriveText(const std::string& s) {
    return s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
}

// A folder given by the user as a Windows path with its final backslash.
std::optional<std::string> windowsFolder(const std::string& given) {
    std::string folder;
    if (isDriveText(given)) {
        folder = given;
    } else {
        std::error_code error;
        auto absolute = std::filesystem::absolute(given, error);
        if (error) return std::nullopt;
        auto converted = platform().toWindows(absolute.lexically_normal().string());
        if (!converted) return std::nullopt;
        folder = *converted;
    }
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

// The folder a program called "sauvegarde.exe" extracts into by default:
// "sauvegarde" in the current folder, made below it (a link of that name is
// not followed). Gives the current folder and that folder.
std::optional<std::pair<std::string, std::string>> defaultFolder(const std::string& ownPath) {
    std::filesystem::path own(ownPath);
    std::string name = own.stem().string();
    if (name.empty() || name == own.filename().string())
        name += "_fichiers";  // no extension: the folder must not take the program's own name
    std::optional<std::string> current = windowsFolder(".");
    std::optional<std::string> folder = windowsFolder(name);
    if (!current || !folder || folder->compare(0, current->size(), *current) != 0)
        return std::nullopt;
    return std::make_pair(*current, *folder);
}

// "dd/mm/yyyy hh:nn" of an MS-DOS date and time, empty when it is not one.
std::string shownDate(int32_t dos) {
    const std::optional<DateTime> date = fromDosDateTime(dos);
    if (!date) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", date->day, date->month, date->year,
                  date->hour, date->minute);
    return text;
}

// What kept a walk from reading the whole archive, said once; true when it did.
bool walkWasWhole(const format::ArchiveWalker& walk) {
    if (walk.fileSize() < format::HeaderSize) {
        say("Archive tronquée : en-tête incomplet.");
        return false;
    }
    const std::string problem = walk.problem();
    if (!problem.empty()) say("Archive endommagée : " + problem + ".");
    return problem.empty();
}

// One line per entry, as kvr list writes them:
// FileName;Folder;FileSize;CompressedSize;dd/mm/yyyy hh:nn;TypeName;entry offset
int listEntries(File& archive) {
    format::ArchiveWalker walk(archive);
    while (auto r = walk.next())
        std::printf("%s;%s;%lld;%lld;%s;%s;%lld\n", r->fileName.c_str(), r->folder.c_str(),
                    static_cast<long long>(r->fileSize), static_cast<long long>(r->compressedSize),
                    shownDate(r->fileDate).c_str(), r->typeName.c_str(),
                    static_cast<long long>(walk.offset()));
    std::fflush(stdout);
    return walkWasWhole(walk) ? 0 : 1;
}

// Checks every entry with the engine's one soundness check, inflating each
// payload to nowhere, on every core at once.
int testEntries(SharedReader& archive) {
    int bad = 0, count = 0;
    const std::unique_ptr<File> view = archive.reader();
    format::ArchiveWalker walk(*view);
    format::CheckEntries(
        archive, walk, 0,
        [&](const format::EntryRecord& r, int64_t, const format::EntryCheck& check) {
            ++count;
            if (check.sound()) return;
            std::printf("%s : %s\n", r.fullPath().c_str(), check.text().c_str());
            ++bad;
        });
    std::printf("%d entrée(s), %d intacte(s), %d endommagée(s)\n", count, count - bad, bad);
    std::fflush(stdout);
    const bool whole = walkWasWhole(walk);
    return bad || !whole ? 1 : 0;
}

int extractEntries(SharedReader& shared, format::EntryWriter& writer) {
    int done = 0, kept = 0, bad = 0;
    // Inflated on every core at once, ahead of the entry in hand: the flush of
    // each file waits on the disk, so several per core.
    writer.inflateAhead(shared, 4 * workerThreads(0));
    const std::unique_ptr<File> archive = shared.reader();
    format::ArchiveWalker walk(*archive);
    while (const std::optional<format::WalkedEntry> entry = writer.next(walk)) {
        const format::EntryRecord* record = &entry->record;
        auto destination = writer.destinationOf(*record);
        if (!destination) {
            say("Fichier refusé (chemin hors du dossier de destination) : " + record->fullPath());
            ++bad;
            continue;
        }
        switch (writer.extract(*archive, *record, entry->payloadStart, *destination)) {
            case format::ExtractResult::Done:
                ++done;
                continue;
            case format::ExtractResult::KeptNewer:
            case format::ExtractResult::Stopped:
                say(writer.lastPath() + " : conservé : plus récent que la copie archivée");
                ++kept;
                continue;
            case format::ExtractResult::KeptExisting:
                say(writer.lastPath() + " : conservé : le fichier existe déjà");
                ++kept;
                continue;
            case format::ExtractResult::Refused:
                say("Fichier refusé (lien dans le dossier de destination) : " + writer.lastPath());
                break;
            case format::ExtractResult::NoFolder:
                say("Impossible de créer le dossier < " + *destination + " >");
                break;
            case format::ExtractResult::Duplicate:
                say("Fichier non extrait : < " + writer.lastPath() +
                    " > vient d'être extrait d'une autre entrée (" + record->fullPath() + ")");
                break;
            case format::ExtractResult::Damaged:
            case format::ExtractResult::DecompressFailed:
                say("Impossible de décompresser le fichier < " + record->fileName + " >");
                break;
        }
        ++bad;
    }
    // A cut header or record is one entry lost; a damaged record was counted
    // when it failed, and hides what follows it.
    if (!walkWasWhole(walk) &&
        (walk.failed() || walk.cutShort() || walk.fileSize() < format::HeaderSize))
        ++bad;
    say(std::to_string(done) + " fichier(s) extrait(s)" +
        (kept ? ", " + std::to_string(kept) + " conservé(s)" : std::string()) +
        (bad ? ", " + std::to_string(bad) + " en erreur" : std::string()));
    return bad ? 1 : 0;
}

int run(const std::vector<std::string>& args) {
    const std::string own = ownHostPath();
    auto embedded = std::make_unique<sfx::EmbeddedArchive>();
    std::string error;
    if (own.empty() || !embedded->open(own, error)) {
        say(error.empty() ? "Impossible de lire le programme." : error);
        return 1;
    }
    // Read side by side by the workers that check or inflate the entries.
    SharedReader shared(std::move(embedded));
    const std::unique_ptr<File> archive = shared.reader();
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*archive, header) || !format::CheckSignature(header)) {
        say(std::string("Archive endommagée : ") + format::IncompatibleMessage);
        return 1;
    }
    if (args.size() == 1 && args[0] == "--list") return listEntries(*archive);
    if (args.size() == 1 && args[0] == "--test") return testEntries(shared);

    // The extracting forms: where, and what becomes of files already there.
    bool origin = false, tree = false;
    std::optional<std::string> to;
    format::Overwrite overwrite = format::Overwrite::Older;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--origin" && !origin && !to) {
            origin = true;
        } else if (args[i] == "--to" && i + 1 < args.size() && !origin && !to) {
            to = args[++i];
        } else if (args[i] == "--tree" && !tree) {
            tree = true;
        } else if (args[i] == "--overwrite" && i + 1 < args.size()) {
            const auto rule = format::overwriteRule(args[++i]);
            if (!rule) return usage();
            overwrite = *rule;
        } else {
            return usage();
        }
    }
    if (tree && !to) return usage();

    if (origin) {
        format::EntryWriter writer(format::Placement::Origin, std::string(), overwrite);
        return extractEntries(shared, writer);
    }
    std::optional<std::string> folder, root;
    format::Placement placement = format::Placement::Tree;
    if (to) {
        folder = windowsFolder(*to);
        if (!tree) placement = format::Placement::Flat;
    } else if (auto pair = defaultFolder(own)) {
        root = pair->first;
        folder = pair->second;
    }
    if (!folder) {
        say("Le dossier de destination n'est sur aucun lecteur connu.");
        return 1;
    }
    if (to && !format::createFolderPath(*folder)) {
        say("Impossible de créer le dossier < " + *folder + " >");
        return 1;
    }
    format::EntryWriter writer(placement, *folder, overwrite, root.value_or(std::string()));
    return extractEntries(shared, writer);
}

}  // namespace

int main(int argc, char** argv) {
    return kv::runProgram([&] { return run(std::vector<std::string>(argv + 1, argv + argc)); }, say,
                          1);
}

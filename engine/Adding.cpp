#include "engine/Adding.h"

#include <cctype>
#include <exception>
#include <filesystem>
#include <set>
#include <utility>

#include "engine/SelectionScript.h"
#include "platform/Wildcard.h"
#include "text/Text.h"
#include "util/CommandGuard.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"

namespace kv {

namespace {

constexpr std::size_t TypeTextChars = 80;

std::string trimmed(const std::string& s) {
    std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    std::size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Why a path was not taken in, after "... n'est pas archivé : ".
constexpr const char* UnwritableName = "son nom ne peut pas s'écrire comme un chemin Windows";
constexpr const char* FolderUnreadable = "son dossier ne peut pas être lu";
constexpr const char* ContentUnreadable = "son contenu ne peut pas être lu";
constexpr const char* KernelFolder =
    "c'est un dossier du système (proc, sys, dev...), qui n'est jamais parcouru";
constexpr const char* FolderLink = "c'est un lien vers un autre dossier, qui n'est pas suivi";
constexpr const char* NotADrivePath =
    "il ne commence pas par une lettre de lecteur (comme C:\\), il n'est pas complet";

// "X:\..." (or "X:/..."): a path that names its drive, the only kind a
// selection can hold.
bool isDrivePath(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

// A folder whose entries can be listed and looked at.
bool readable(const PathInfo& info) {
    return info.kind == PathInfo::Kind::Folder && info.listable;
}

// A path the operation did not take in, told and counted.
void tellLeftOut(AddOperation& op, const std::string& text) {
    ++op.leftOut;
    op.ui.message(MessageKind::Warning, text);
}

void appendRow(AddOperation& op, const std::string& path, int64_t size, int32_t dosDate) {
    CatalogRow row;
    row.name = FileNameOf(path);
    row.folder = FolderOf(path);
    row.size = size;
    row.fileDate = dosDate;
    if (op.typeName) row.typeName = text::firstChars(op.typeName(path), TypeTextChars);
    row.status = New;
    op.archive.rows.push_back(std::move(row));
    ++op.added;
}

}  // namespace

KnownPaths::KnownPaths(const Catalog& rows) {
    keys_.reserve(rows.size() * 2);
    for (const CatalogRow& row : rows) keys_.insert(text::foldKey(row.fullPath()));
}

bool KnownPaths::contains(const std::string& path) const {
    return keys_.count(text::foldKey(path)) != 0;
}

bool KnownPaths::insert(const std::string& path) {
    return keys_.insert(text::foldKey(path)).second;
}

AddOperation::AddOperation(OpenArchive& s, Ui& u, TypeNameProvider t, NamePrompt a)
    : archive(s), ui(u), known(s.rows), typeName(std::move(t)), askName(std::move(a)) {}

namespace {

// TakeInPath of a path already spelled as on disk.
bool takeIn(AddOperation& op, std::string path, bool existenceTest, std::optional<int64_t> size,
            std::optional<int32_t> dosDate) {
    const std::string name = FileNameOf(path);
    if (text::toStored(name).size() > MaxStoredNameBytes) {
        path = AskValidName(op, path);
        if (path.empty()) {
            ++op.leftOut;
            return false;
        }
        size.reset();
        dosDate.reset();
    }
    if (text::equalNoCase(path, op.archive.path)) return false;
    if (!op.known.insert(path)) return false;
    if (existenceTest && !platform().fileExists(path)) return false;
    appendRow(op, path, size ? *size : FileSizeOf(path),
              dosDate ? *dosDate : platform().lastWriteDos(path).value_or(0));
    return true;
}

}  // namespace

bool TakeInPath(AddOperation& op, const std::string& path, bool existenceTest,
                std::optional<int64_t> size, std::optional<int32_t> dosDate) {
    return takeIn(op, platform().trueCase(path), existenceTest, size, dosDate);
}

void AddSelectionEntry(AddOperation& op, const std::string& written) {
    if (isBlankLine(written)) return;
    // Blanks before a path are never part of it; blanks after it are taken as
    // typed only when a file has that very name.
    std::string line = written.substr(written.find_first_not_of(" \t"));
    if (!isDrivePath(line)) {
        tellLeftOut(op, "Le chemin < " + line + " > n'est pas archivé : " + NotADrivePath);
        return;
    }
    auto folderLine = splitFolderLine(line);
    if (!folderLine) {
        bool exists = platform().fileExists(line);
        if (!exists && trimmed(line) != line) {
            line = trimmed(line);
            exists = platform().fileExists(line);
        }
        if (!exists && !op.known.contains(line) && !readable(platform().pathInfo(FolderOf(line)))) {
            op.known.insert(line);
            tellLeftOut(op, "Le fichier < " + line + " > n'est pas archivé : " + FolderUnreadable);
            return;
        }
        TakeInPath(op, line, true);
        return;
    }
    const std::string mask = trimmed(folderLine->mask);
    const std::string extension = mask == "*.*" ? std::string("*.*") : mask.substr(2);
    const PathInfo::Kind kind = platform().pathInfo(folderLine->folder).kind;
    if (kind == PathInfo::Kind::Folder || kind == PathInfo::Kind::Denied)
        ScanFolder(op, folderLine->folder, extension);
}

bool ScanFolder(AddOperation& op, std::string folder, const std::string& mask) {
    if (folder.empty()) {
        std::error_code error;
        auto current = std::filesystem::current_path(error);
        auto windows = error ? std::nullopt : platform().toWindows(current.string());
        folder = windows ? *windows : std::string(1, platform().currentDrive()) + ":\\";
    }
    // The walk lists names as the disk spells them; the folder it starts
    // from is spelled so too.
    folder = platform().trueCase(folder);
    AddBackslash(folder);
    const std::string pattern = mask == "*.*" ? mask : "*." + mask;
    return WalkFolder(
        folder, pattern,
        [&op](const std::string& f, const FindEntry& e) { return AddFoundFile(op, f, e); },
        [&op](const std::string& path, const std::string& why) {
            const bool isFolder = !path.empty() && path.back() == '\\';
            tellLeftOut(op, (isFolder ? "Le dossier < " : "Le fichier < ") + path +
                                " > n'est pas archivé : " + why);
        });
}

namespace {

// One walk: the folders it has entered, by device and inode, so that none is
// entered twice however it is reached again (a mount of a folder inside
// itself, the same folder mounted twice).
class FolderWalk {
  public:
    FolderWalk(const std::string& pattern, const FoundFile& found, const LeftOutPath& leftOut)
        : pattern_(pattern),
          everyFile_(pattern == "*.*" || pattern == "*"),
          found_(found),
          leftOut_(leftOut) {}

    bool walk(const std::string& folder, bool named);

  private:
    void tell(const std::string& path, const char* why) const {
        if (leftOut_) leftOut_(path, why);
    }

    const std::string& pattern_;
    const bool everyFile_;
    const FoundFile& found_;
    const LeftOutPath& leftOut_;
    std::set<std::pair<uint64_t, uint64_t>> entered_;
};

bool FolderWalk::walk(const std::string& folder, bool named) {
    const PathInfo info = platform().pathInfo(folder);
    if (info.kernel) {
        // Nothing of the user's is there: said only of a folder asked for by name.
        if (named) tell(folder, KernelFolder);
        return true;
    }
    if (!readable(info)) {
        if (info.kind != PathInfo::Kind::Missing) tell(folder, ContentUnreadable);
        return true;
    }
    if (!entered_.emplace(info.device, info.inode).second) return true;

    // One listing of the folder serves both passes: its files that match the
    // pattern first, then the subfolders a folders-only listing would give
    // (neither hidden nor system), each in listing order.
    std::vector<std::string> odd;
    const std::vector<FindEntry> entries =
        platform().find(folder + "*.*", attr::AnyFile, leftOut_ ? &odd : nullptr);
    for (const std::string& name : odd)
        if (everyFile_ || wildcardMatch(pattern_, name) ||
            (platform().toHost(folder) &&
             std::filesystem::is_directory(*platform().toHost(folder) + "/" + name)))
            tell(folder + name, UnwritableName);
    for (const FindEntry& entry : entries) {
        if (entry.attributes & (attr::Directory | attr::VolumeId)) continue;
        if (!everyFile_ && !wildcardMatch(pattern_, entry.name)) continue;
        if (!found_(folder, entry)) return false;
    }
    for (const FindEntry& entry : entries) {
        if (!(entry.attributes & attr::Directory) ||
            (entry.attributes & (attr::Hidden | attr::System)) || entry.name == "." ||
            entry.name == "..")
            continue;
        const std::string subfolder = folder + entry.name + '\\';
        // A link could lead anywhere, back up into this walk included.
        if (entry.link) {
            tell(subfolder, FolderLink);
            continue;
        }
        if (!walk(subfolder, false)) return false;
    }
    return true;
}

}  // namespace

bool WalkFolder(const std::string& folder, const std::string& pattern, const FoundFile& found,
                const LeftOutPath& leftOut) {
    return FolderWalk(pattern, found, leftOut).walk(folder, true);
}

bool AddFoundFile(AddOperation& op, const std::string& folder, const FindEntry& entry) {
    op.ui.pump();
    try {
        // The folder is in its true case (ScanFolder) and the name is the
        // listing's: the path needs no lookup.
        takeIn(op, folder + entry.name, false, entry.size, entry.dosDateTime);
    } catch (...) {
        // The file could not be taken in (its type text or the name prompt
        // failed): the user is told, the file counts as left out and the walk
        // stops, as it would on Escape, rather than ending unexplained.
        ++op.leftOut;
        op.ui.message(MessageKind::Error,
                      "Le fichier < " + folder + entry.name +
                          " > n'a pas pu être ajouté : " + currentExceptionMessage());
        return false;
    }
    return op.ui.keepGoing();
}

std::string AskValidName(AddOperation& op, const std::string& path) {
    if (!op.askName) return {};
    const std::string folder = FolderOf(path);
    const std::string typed = trimmed(op.askName(FileNameOf(path)));
    if (typed.empty()) return {};
    const std::string renamed = folder + typed;
    return ShellRenameFile(path, renamed) ? renamed : std::string();
}

}  // namespace kv

#include "engine/Adding.h"

#include <exception>
#include <filesystem>

#include "engine/SelectionScript.h"
#include "platform/Wildcard.h"
#include "text/Text.h"
#include "util/CommandGuard.h"
#include "util/FileRoutines.h"
#include "util/Format.h"
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

void appendRow(AddOperation& op, const std::string& path, int64_t size, int32_t dosDate) {
    CatalogRow row;
    row.caption = FileNameOf(path);
    row.sub[0] = FolderOf(path);
    row.sub[1] = std::to_string(size);
    if (auto when = fromDosDateTime(dosDate))
        row.sub[3] = formatDateTime(*when, op.session.separators);
    if (op.typeName) row.sub[4] = text::firstChars(op.typeName(path), TypeTextChars);
    row.icon = New;
    op.session.rows.push_back(std::move(row));
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

AddOperation::AddOperation(Session& s, Ui& u, TypeNameProvider t, NamePrompt a)
    : session(s), ui(u), known(s.rows), typeName(std::move(t)), askName(std::move(a)) {}

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
    if (text::equalNoCase(path, op.session.currentArchive)) return false;
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

void AddSelectionEntry(AddOperation& op, const std::string& line) {
    if (isBlankLine(line)) return;
    auto folderLine = splitFolderLine(line);
    if (!folderLine) {
        TakeInPath(op, line, true);
        return;
    }
    const std::string extension =
        folderLine->mask == "*.*" ? std::string("*.*") : folderLine->mask.substr(2);
    if (platform().directoryExists(folderLine->folder))
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
        [&op](const std::string& f, const std::string& hostName) {
            ++op.leftOut;
            op.ui.message(MessageKind::Warning,
                          "Le fichier < " + f + hostName +
                              " > n'est pas archivé : son nom ne peut pas s'écrire comme un "
                              "chemin Windows");
        });
}

bool WalkFolder(const std::string& folder, const std::string& pattern, const FoundFile& found,
                const UnwritableName& unwritable) {
    // One listing of the folder serves both passes: its files that match the
    // pattern first, then the subfolders a folders-only listing would give
    // (neither hidden nor system), each in listing order.
    std::vector<std::string> odd;
    const std::vector<FindEntry> entries =
        platform().find(folder + "*.*", attr::AnyFile, unwritable ? &odd : nullptr);
    const bool everyFile = pattern == "*.*" || pattern == "*";
    for (const std::string& name : odd)
        if (everyFile || wildcardMatch(pattern, name) ||
            (platform().toHost(folder) &&
             std::filesystem::is_directory(*platform().toHost(folder) + "/" + name)))
            unwritable(folder, name);
    for (const FindEntry& entry : entries) {
        if (entry.attributes & (attr::Directory | attr::VolumeId)) continue;
        if (!everyFile && !wildcardMatch(pattern, entry.name)) continue;
        if (!found(folder, entry)) return false;
    }
    for (const FindEntry& entry : entries) {
        if (!(entry.attributes & attr::Directory) ||
            (entry.attributes & (attr::Hidden | attr::System)) || entry.name == "." ||
            entry.name == "..")
            continue;
        if (!WalkFolder(folder + entry.name + '\\', pattern, found, unwritable)) return false;
    }
    return true;
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

#pragma once
// Adding files to the catalog: the rules every way in shares (the add-files
// dialog, a drop, a selection script, the automatic mode). A file is never
// listed twice nor the open archive itself, and a file whose name is too long
// to be stored must get a shorter name on disk or is skipped. New rows are
// appended at the end of the catalog (EntryStatus New) and are not sorted;
// nothing is written to the archive here.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>

#include "engine/OpenArchive.h"
#include "platform/Platform.h"
#include "util/Ui.h"

namespace kv {

// The type text of a file ("Document texte", ...); may be empty. Only the
// first 80 characters enter the row.
using TypeNameProvider = std::function<std::string(const std::string& path)>;

// The long-name prompt: given the file name (no folder) of a file whose name is
// too long, returns the name the user typed, or empty to skip the file.
using NamePrompt = std::function<std::string(const std::string& fileName)>;

// Full paths taken in by one add operation, compared without regard to case.
// Lookups and insertions take constant time on average (a hash of the folded path).
class KnownPaths {
  public:
    KnownPaths() = default;
    // Every row's full path.
    explicit KnownPaths(const Catalog& rows);
    bool contains(const std::string& path) const;
    // Adds the path; false when it was already there.
    bool insert(const std::string& path);
    std::size_t size() const { return keys_.size(); }

  private:
    std::unordered_set<std::string> keys_;
};

// One add operation: built at its start, dropped at its end.
struct AddOperation {
    AddOperation(OpenArchive& archive, Ui& ui, TypeNameProvider typeName, NamePrompt askName);

    OpenArchive& archive;  // the rows taken in go to its catalog
    Ui& ui;
    KnownPaths known;  // the rows present at the start, plus every path taken in
    TypeNameProvider typeName;
    NamePrompt askName;
    int added = 0;    // rows appended by this operation
    int leftOut = 0;  // files met but not taken in: a name too long that was not
                      // shortened, a host name that is no Windows name
};

// Longest file name that can be stored, in stored bytes.
constexpr std::size_t MaxStoredNameBytes = 100;

// The common core for one path: the path is taken as the disk spells it
// (Platform::trueCase), so a line typed in another case or a folder the tree
// gave upper-cased enters the catalog under the folders that exist; a name
// too long to store goes through AskValidName (empty: skipped, counted in
// op.leftOut); the open archive is skipped; a path already known (in any
// case) is skipped, else it becomes known; then, when existenceTest is false
// or the file exists, a new row is appended. size and dosDate are the row's
// values when the caller has them from a listing; otherwise they are read from
// the disk (FileSizeOf, the last-write time). True when a row was appended.
bool TakeInPath(AddOperation& op, const std::string& path, bool existenceTest,
                std::optional<int64_t> size = std::nullopt,
                std::optional<int32_t> dosDate = std::nullopt);

// One selection line: a file line is taken in with the existence test; a
// folder line whose folder exists runs ScanFolder with the line's mask ("*.*"
// stays "*.*", "*.txt" gives "txt"); a blank line or a missing folder does
// nothing. Blanks before the path are dropped, and blanks after it too unless
// a file has that very name. What cannot be taken in is said (a warning
// through op.ui) and counted in op.leftOut: a line that does not start with a
// drive ("C:\"), a file line whose folder cannot be read (so whether the file
// is there cannot be told), and what ScanFolder leaves out.
void AddSelectionEntry(AddOperation& op, const std::string& line);

// Walks folder (empty: the current folder; spelled as the disk spells it,
// whatever the case given) for files matching "*." + mask, or every file when
// mask is "*.*", taking each in through AddFoundFile. What WalkFolder leaves
// out and tells is said as a warning "Le fichier < path > n'est pas archivé :
// reason" ("Le dossier < path\ > ..." for a folder) and counted in
// op.leftOut. Returns false when the walk was stopped.
bool ScanFolder(AddOperation& op, std::string folder, const std::string& mask);

// Calls found(folder, entry) for each file of folder matching pattern (hidden
// and system files included; folders and volume labels never), then walks each
// subfolder that is neither hidden nor system, depth-first, with the same
// pattern. folder ends in a backslash. Returns false as soon as found does.
//
// The walk never leaves what it was asked to walk and always ends:
//   - a subfolder that is a link to a folder is not entered: told;
//   - a folder already entered by this walk (the same device and inode, met
//     again through a mount) is not entered again: silently;
//   - a folder on a file system of the kernel's own (proc, sysfs, devtmpfs,
//     ...) is not walked: told when it is the folder asked for, silently when
//     the walk meets one below it;
//   - a folder that cannot be listed or looked into is told and not walked;
//   - an entry whose host name cannot be written as a Windows name (it holds a
//     backslash, platform/HostNames.h), a file that matches the pattern or a
//     folder, is told by its host name.
// leftOut, when given, hears what is told: the path (a folder's ends in a
// backslash) and why, in the words that follow "n'est pas archivé : ".
// The folder asked for is followed when it is itself a link: the user named it.
using FoundFile = std::function<bool(const std::string& folder, const FindEntry& entry)>;
using LeftOutPath = std::function<void(const std::string& path, const std::string& why)>;
bool WalkFolder(const std::string& folder, const std::string& pattern, const FoundFile& found,
                const LeftOutPath& leftOut = {});

// The walk's callback: lets events run, takes folder + entry name in with the
// listing's size and time and no existence test, and returns ui.keepGoing()
// (false also when taking the file in failed). The folder is taken as spelled
// (ScanFolder gives the walk its true case) and the name is the listing's, so
// the path is not looked up again.
bool AddFoundFile(AddOperation& op, const std::string& folder, const FindEntry& entry);

// Asks op.askName for a shorter name for path's file and renames the file on
// disk (ShellRenameFile). Returns the new full path, or empty when the user
// gave no name (or only blanks) or the rename failed.
std::string AskValidName(AddOperation& op, const std::string& path);

}  // namespace kv

#pragma once
// Writing stored entries back to disk: the rules that keep an entry inside
// the folder it is restored to, the destination folder of an entry, and
// EntryWriter, which writes the entries of one restore (the path rules
// themselves are engine/StoredPath.h). The restore run and the extractor stub
// share these, so both refuse the same entries and replace files the same way.
//
// A restored file appears under its name only whole: its payload is
// decompressed into a temporary file beside it, checked, flushed to the disk
// and only then renamed into place. Below the folder a restore was aimed at,
// no link is ever followed.
//
// The writer may inflate entries ahead of their turn on worker threads
// (inflateAhead): the flush of each file to the disk, which costs more than
// the rest for small files, then waits on a worker, many at once, and the
// caller's thread only renames the files into place, in turn.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "engine/MemberCodec.h"
#include "engine/SharedReader.h"
#include "engine/StoredPath.h"
#include "engine/WorkPool.h"
#include "platform/Platform.h"

namespace kv::format {

// Where entries go. Origin: the stored folder itself. Tree: the chosen folder
// followed by the stored folder without its drive part ("D:\Docs\" gives
// "Docs\"; a server folder "\\srv\share\Docs\" keeps its server:
// "srv\share\Docs\"). Flat: the chosen folder.
enum class Placement { Origin, Tree, Flat };

// The destination folder of an entry (ending in a backslash), or nullopt when
// the entry must be refused: an unsafe file name, a stored folder whose part
// past the drive holds "..", or, for Origin, a stored folder that is not a
// drive path. chosenFolder is used by Tree and Flat and must end in a backslash.
std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder);

// Creates a folder and every missing parent (the path may end in a
// backslash), following links on the way: for the folder a user chose. True
// when the folder exists afterwards.
bool createFolderPath(const std::string& folder);

// What to do with a file that is already there under an entry's name.
enum class Overwrite {
    Older,   // replace it unless it is newer than the stored copy
    Always,  // replace it
    Never,   // keep it
    Ask,     // replace it unless it is newer; for a newer one, ask (EntryWriter::Question)
};

// The rule a command line names: "older", "always" or "never"; nullopt for
// anything else.
std::optional<Overwrite> overwriteRule(const std::string& word);

// The answers to "replace this newer file?".
enum class Reply { Replace, ReplaceAll, Keep, Stop };

enum class ExtractResult {
    Done,              // the destination holds the entry's bytes
    Damaged,           // the record is damaged (its payload runs past the end of
                       // the archive, has a negative size or is empty): nothing written
    DecompressFailed,  // the payload is not a sound member of FileSize bytes, or the
                       // file could not be written or moved into place, or a folder
                       // or a special file has its name: the destination is as it was
    NoFolder,          // the destination folder could not be made
    Refused,           // a link is on the way to the destination, or is the
                       // destination itself: nothing written
    Duplicate,         // an earlier entry of this restore was written under that
                       // name: it is kept, this entry is not written
    KeptNewer,         // the file there is newer than the stored copy and is kept
    KeptExisting,      // the file there is kept (Overwrite::Never)
    Stopped,           // the user answered Stop: the file is kept, the restore ends
};

// An entry as a walk of the archive gives it.
struct WalkedEntry {
    EntryRecord record;
    int64_t payloadStart = 0;
};

// Writes the entries of one restore. Destination folders are reached from a
// root held open: the chosen folder (Tree, Flat), or the drive root of each
// entry (Origin). Below that root each folder is opened one name at a time,
// looked up without regard to case, so an entry goes into an existing folder
// of any letter case and a folder is created only when none of that name
// exists (in the entry's own spelling). A link met on the way is refused,
// except with Origin, where a link that belongs to the user or to the system
// is followed: a user's own folders may be links (a home folder on another
// disk), a link planted by another user is not followed.
class EntryWriter {
  public:
    using Question = std::function<Reply(const std::string& path)>;

    // root: the folder above which links are the user's own, a prefix of
    // chosenFolder (the stub's default folder is made below the current
    // folder); empty stands for chosenFolder itself. Both end in a backslash.
    EntryWriter(Placement placement, std::string chosenFolder, Overwrite overwrite,
                std::string root = {});
    ~EntryWriter();  // drops what was inflated ahead; flushes the folders written into
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    // Asked, for Overwrite::Ask, about a file newer than its stored copy.
    // ReplaceAll replaces it and every later one without asking.
    void setQuestion(Question question) { question_ = std::move(question); }

    // The destination folder of an entry (destinationFolder with this
    // writer's placement and chosen folder); nullopt when it is refused.
    std::optional<std::string> destinationOf(const EntryRecord& record) const {
        return destinationFolder(record, placement_, chosenFolder_);
    }

    // Writes the entry whose payload starts at payloadStart to folder (its
    // destinationOf) + the entry's name, checked by CheckEntry
    // (engine/EntryCheck.h) as it is written:
    //   1. a damaged record writes nothing;
    //   2. the folder is reached as the class says (NoFolder, Refused);
    //   3. the name is looked up without regard to case: a link there is
    //      Refused; a folder or a special file is never replaced
    //      (DecompressFailed); a file written by an earlier entry of this
    //      writer is a Duplicate; a file that is there is kept or replaced
    //      as the Overwrite rule says, under its own spelling;
    //   4. the payload is inflated into a temporary file beside it (mode
    //      0600, made exclusively, never through a link); when the entry is
    //      sound, the file gets the entry's FileDate as its last write, the
    //      permissions of the file it replaces (a read-only file stays
    //      read-only; set-user and set-group bits are not kept) or those of a
    //      new file, is flushed to the disk and is renamed into place; else
    //      it is removed and the destination is as it was.
    // No more than FileSize bytes are ever written. progress, when set, gets
    // the percentages of the payload's read (engine/MemberCodec.h).
    // Throws kv::Error when the archive cannot be read at the payload (the
    // temporary file is removed first).
    ExtractResult extract(File& archive, const EntryRecord& record, int64_t payloadStart,
                          const std::string& folder, const MemberCodec::Progress& progress = {});

    // The Windows path of the file the last extract() was about: the
    // destination as the disk spells what exists of it.
    const std::string& lastPath() const { return lastPath_; }

    // From now on, entries offered (offer, next) are inflated ahead of their
    // turn by `workers` threads reading archive, when there are two or more;
    // with one, nothing is done ahead. The percentages of an entry inflated
    // ahead go to the progress extract() is given, on the calling thread,
    // when its turn comes, as an entry inflated then gives them. archive must
    // outlive the writer.
    void inflateAhead(SharedReader& archive, int workers);

    // An entry that comes later in this restore, offered in the order
    // extract() will be called for those it is called for. When, as things
    // stand, it is to be written (its record is sound, its folder exists and
    // is not on a CD-ROM drive, nothing but a file the Overwrite rule
    // replaces without a question has its name, and no entry offered before
    // it and not written yet goes to the same name), a worker inflates it
    // into a temporary file beside its destination, checks it, gives it its
    // date and permissions and flushes it to the disk. When its turn comes,
    // extract() decides everything again, as it does for any entry; it takes
    // the worker's file only when the entry is still to be written there,
    // else the file is thrown away. No folder is made ahead, no question is
    // asked ahead, and nothing ahead is left behind however the restore ends.
    void offer(const EntryRecord& record, int64_t payloadStart);
    // True when entries offered now could be inflated ahead: the writer
    // inflates ahead, and fewer entries than it takes at once wait for
    // their turn.
    bool wantsOffers() const;

    // The next entry of an all-entries walk, the entries after it read from
    // the walk and offered; nullopt once the walk has given them all (its
    // failed(), cutShort() and problem() then say why it ended).
    std::optional<WalkedEntry> next(ArchiveWalker& walk);

  private:
    struct Reached {
        Folder* folder = nullptr;
        ExtractResult failure = ExtractResult::NoFolder;  // when folder is null
    };
    // What a worker inflates, and what it found.
    struct Inflation {
        EntryRecord record;
        int64_t payloadStart = 0;
        std::unique_ptr<File> out;  // the temporary beside the destination
        uint32_t permissions = 0;
    };
    struct Inflated {
        EntryCheck check;
        bool flushed = false;  // dated and flushed to the disk
    };
    using InflatePool = WorkPool<Inflation, Inflated>;
    // An offered entry; without a job it was not inflated ahead.
    struct Staged {
        int64_t payloadStart = 0;
        std::shared_ptr<InflatePool::Job> job;
        Folder* folder = nullptr;  // where its temporary is
        std::string temporary;
        std::string key;  // its name, folded
        uint32_t permissions = 0;
        int64_t bytes = 0;                    // its FileSize
        std::optional<EntryRecord> awaiting;  // not inflated ahead for want of its folder
    };

    // The folder, made with what is missing of it when create is set.
    Reached reach(const std::string& folder, bool create = true);
    // Creates a new temporary file in target (its name in name); nullptr
    // when the folder takes no new file.
    std::unique_ptr<File> createTemporary(Folder& target, std::string& name);
    // Inflates the entry ahead when offer() says so.
    void stage(Staged& entry, const EntryRecord& record);
    // True when one more entry may be inflated ahead.
    bool roomFor(const EntryRecord& record) const;
    // Inflates ahead the offered entries whose folders were missing, now that
    // a turn has made folders.
    void stageAwaiting();
    // The worker's file for this entry, taken off the offered ones (those
    // offered before it were passed over: their files are thrown away).
    std::optional<Staged> takeStaged(int64_t payloadStart);
    // An entry inflated ahead leaves the count of what is inflated ahead;
    // unless keepFile, what the worker made is thrown away first.
    void settle(Staged& entry, bool keepFile);
    std::optional<ExtractResult> keepOrReplace(const FolderEntry& existing,
                                               const EntryRecord& record);
    // Flushes and lets go of the folders held, but keep.
    void letGo(const Folder* keep);

    Placement placement_;
    std::string chosenFolder_;
    std::string root_;
    Overwrite overwrite_;
    Question question_;
    std::string lastPath_;
    // Folders held for this restore, by their path folded (they are looked
    // up without regard to case), and those that had a file renamed or a
    // folder made in them.
    std::map<std::string, std::unique_ptr<Folder>> folders_;
    std::set<Folder*> written_;
    std::set<std::pair<uint64_t, uint64_t>> files_;  // (device, inode) of the files written

    // Inflating ahead.
    SharedReader* archive_ = nullptr;
    int64_t archiveSize_ = 0;
    std::unique_ptr<InflatePool> pool_;
    std::deque<Staged> staged_;        // in the order offered
    std::map<Folder*, int> stagedIn_;  // folders holding temporaries of staged entries
    int64_t stagedBytes_ = 0;          // FileSize of the entries being inflated ahead
    bool madeFolder_ = false;          // a turn made a folder since stageAwaiting()
    std::deque<WalkedEntry> walked_;   // read from the walk, not handed out yet
};

}  // namespace kv::format

#pragma once
// The archiving run: writes the open archive afresh from the catalog. Every row
// whose file exists is compressed again from disk; a row whose file is gone is
// carried over unchanged from the old archive (through its entry offset) or left
// out. The new archive is built complete in the Work folder first, and only a
// finished copy ever replaces the archive file:
//
//   - the run holds the archive's WriterLock (platform/WriterLock.h) for its
//     whole life: a second writer of the same archive is refused at once
//     ("... est en cours d'écriture par une autre opération ...") and changes
//     nothing; so is a run whose archive is a link not to be followed, or
//     whose lock file's name is taken by something not its own;
//   - an archive named through a symbolic link is the file the link leads
//     to: that file is read and replaced (its folder holds the copy beside
//     it), and the link stays as it was;
//   - the new archive takes the old one's permissions (mode, and owner and
//     group where the run may give them); a new archive those of a new file;
//   - every temporary (the payload of the file in hand, the new archive copy,
//     the copy beside the archive) is a TempFile (platform/TempFile.h): made
//     exclusively under a name of this run, used through its open handle, held
//     while it lives and removed on every path; at its start the run removes
//     the temporaries that killed runs left in the Work folder and beside the
//     archive;
//   - the copy replaces the archive through a second temporary beside the
//     archive, renamed over it: a failed copy or rename leaves the old archive
//     as it was;
//   - an update of an archive that has a damaged record (a negative
//     CompressedSize, a payload past the end, a record cut short) is refused
//     before anything is written: the entries after it would be lost;
//   - a run that stops (the stop button, an error inside the loop, an old
//     archive that lost its signature) leaves the archive file exactly as it
//     was, an absent archive stays absent, and the catalog is not re-read, so
//     the pending rows and listChanged survive for another try;
//   - each payload is verified as written: its trailer in the new copy must
//     hold the CRC-32 and length the compressor computed, and the bytes
//     appended must be the record and CompressedSize bytes; a file that
//     changed while it was compressed (its size or last write moved, or the
//     bytes read are not its size) is compressed once more, and if it changes
//     again it is treated as a file that cannot be stored;
//   - a file that cannot be stored (it cannot be read, it keeps changing, it
//     is a named pipe, socket or device, which is never read) keeps its last
//     stored copy: when its row has a stored entry, that entry is carried
//     over unchanged;
//   - files of any size are stored: the new copy is written in V1, as every
//     archive without a file of 2 GiB or more always was, and in V2
//     (engine/ArchiveFormat.h) when an entry needs it. The copy begins in the
//     layout the rows' sizes call for and is rewritten once in the other when
//     the files say otherwise (a file grew past 2 GiB, or is no longer that
//     large), so an update that no longer holds a large entry writes V1 again;
//   - each file is stored under its path as the disk spells it
//     (Platform::trueCase), whatever the case of its row;
//   - a file whose path would not read back as itself from the record
//     (format::storedPathProblem: a name over 100 bytes, a folder over 250, a
//     name the restore refuses) is left out with a message that says why;
//   - a carried-over entry is checked (format::CheckEntry); a damaged one is
//     kept as it is, the only copy there is, and counted as a failure;
//   - no temporary file stays in the Work folder or beside the archive, on any
//     path;
//   - the members are made on every core at once (MemberPool): up to
//     workerThreads() files are compressed, each into its own payload
//     temporary, ahead of the row in hand, while the run's own thread appends
//     records and payloads in catalog order. Every message, progress update
//     and cancel check stays on the run's thread, in row order, as one core
//     gives them; a member made ahead is used only when its file has not moved
//     since, else it is made again in turn. The archive is byte for byte the
//     one a single thread writes;
//   - a file that still has the size and last write of its stored entry, and
//     whose bytes are those of the stored member (read back, compared and
//     checked, engine/MemberMaker.h), keeps that member: it is copied as it is
//     and the record is written afresh (date read now, type text of the row,
//     size), an entry equal in content to a fresh one. options.recompressAll
//     compresses every file instead;
//   - a file the files cache vouches for (engine/FilesCache.h: the cache is
//     the archive's own, as the archive is now, and the file has the device,
//     inode, size, last write and status change it had when its member was
//     written or proved; it has the size and last write of its stored entry,
//     the program may open it, and the member's trailer holds the CRC-32 and
//     length the cache recorded) keeps its member the same way without being
//     read, and without the member being inflated; the workers look at the
//     files ahead of the row in hand, as they make members. Anything in doubt
//     takes the proof above. options.verifyUnchanged and
//     options.recompressAll do not use the cache. After the archive is
//     replaced, the cache is written afresh with every file stored by the
//     run whose identity may be kept;
//   - entries copied from the old archive as they are (carried over, or kept
//     with a record equal byte for byte to the fresh one) are copied a run of
//     consecutive ones at a time, by the kernel where it can
//     (File::appendFrom); a kept member's trailer is read back from the copy
//     all the same;
//   - the new archive is written once: when the Work folder lies on the
//     archive's file system the finished copy is renamed over the archive,
//     otherwise it is copied once to a temporary beside it, renamed over it;
//   - an update whose new archive would be the old one byte for byte (the
//     same header, every entry kept or carried over as it is stored, in its
//     place, and nothing dropped) writes nothing: the old archive's bytes are
//     copied only from the first row that changes them, and when none does
//     the archive file is left as it is, as the replaced one.
//
// ArchiveFiles is the interactive run behind the progress frame; AutoArchiveFiles
// (engine/AutoArchive.h) is the silent one. Both are built from ArchiveRun's steps.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/Catalog.h"
#include "engine/Environment.h"
#include "engine/FilesCache.h"
#include "engine/MemberMaker.h"
#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "engine/SharedReader.h"
#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "platform/WriterLock.h"
#include "util/Ui.h"

namespace kv {

// A row that did not get the entry it should have, and why, for the journal
// of the automatic mode.
struct RowProblem {
    std::string path;    // the row's full path
    std::string reason;  // French, e.g. "fichier utilisé par un autre programme, non archivé"
};

// What a run did, counted over the catalog rows.
struct ArchiveResult {
    int stored = 0;         // rows stored afresh from disk (reused ones included)
    int reused = 0;         // of those, files whose stored member was still theirs and kept
    int carriedOver = 0;    // entries copied unchanged from the old archive (also the
                            // last stored copy of a file that could not be stored)
    int leftOut = 0;        // rows that have no entry in the new archive
    int failures = 0;       // files that could not be stored or were refused, damaged
                            // stored entries
    bool replaced = false;  // the archive file now holds the new archive
    bool noRoom = false;    // not replaced: the archive's drive had no room for it
    bool stopped = false;   // the run stopped early: the archive file was not touched
    bool busy = false;      // refused at once: another writer holds the archive
    bool changed = false;   // refused at once: another writer changed the archive since
                            // the catalog was read from it (archive.catalogSource)
    // The run went to its end: the archive was replaced, or not for lack of
    // room or a failed copy. The catalog no longer matches the archive's
    // entry offsets and is to be read again (the caller's LoadArchive); a
    // stopped or refused run leaves both as they were.
    bool completed = false;
    // Every failure and every row left out other than on request (the rows
    // that leftOut and failures count, except those dropped because
    // checkRecupeFile asked it), in catalog order.
    std::vector<RowProblem> problems;

    // Nothing went wrong: every file was stored or carried over as asked and
    // the archive was replaced.
    bool clean() const { return replaced && failures == 0; }
};

// The interactive archiving run over archive.rows, shown through ui's progress
// frame ("Fichier : " + name, "Dossier : " + folder per row, then
// "Mise à jour de l'archive...", "Mise à jour de l'archive OK" or
// "Opération annulée", and last "Terminé").
//
// A new archive (no file at archive.path) stores the rows whose files exist
// and skips the others without showing them. An update shows every row, stores
// what exists, and for a missing file leaves the row out when
// options.checkRecupeFile is set, else carries its entry over.
//
// The caller clears its cancel flag before the run; ui.cancelRequested() is
// polled at the start of each row. While the run lasts, the progress events of
// each file's compression (and of the check of its stored member) go to
// ui.setFilePercent() and ui.pump(), in row order, on the calling thread.
//
// The catalog is not read again here: after a completed run (the result says
// completed) the caller reloads it from the archive, with its own window side.
// A run refused because another writer holds the archive shows the busy
// message (error) and answers busy and stopped. One refused because another
// writer changed the archive since the catalog was read (its stamp is no
// longer archive.catalogSource) shows changedMessage (error) and answers
// changed and stopped: writing the catalog would drop what that writer
// stored. held, when given, is the archive's writer lock that the caller took
// before it read the catalog; the run then takes none of its own.
// Throws kv::Error for an error that stops the run (the new copy cannot be
// created or written, the old archive cannot be read or has a damaged record):
// the archive file is untouched, the temporaries are gone and "Terminé" was
// shown first.
// An empty archive.path does nothing.
ArchiveResult ArchiveFiles(OpenArchive& archive, RunOptions& options, const Environment& env,
                           Ui& ui, const WriterLock* held = nullptr);

// The interactive run of an update whose catalog is not held, for an archive
// of any number of entries in little memory (kvr update): archive.rows holds
// only the rows added to it (a script's files). The old archive's entries are
// gone through in file order, a block of rows at a time read from the file
// itself, each stored afresh when its file exists, else carried over (or left
// out with checkRecupeFile); then the added rows whose files the old archive
// does not hold. Everything else (messages, labels, the result, the lock and
// the stamp) as ArchiveFiles gives it for those rows;
// archive.rows holds no catalog afterwards. An archive that does not exist
// yet is ArchiveFiles's; one that does not carry the signature shows
// format::IncompatibleMessage (error) and is left as it was (stopped).
// Throws kv::Error as ArchiveFiles does.
ArchiveResult UpdateArchive(OpenArchive& archive, RunOptions& options, const Environment& env,
                            Ui& ui, const WriterLock* held = nullptr);

// "L'archive < path > a été modifiée par une autre opération depuis qu'elle a
// été chargée ..." The message of a run refused for that.
std::string changedMessage(const std::string& archivePath);

// The comment the runs write: archive.comment, or with options.dateComment
// the comment with today's date at its head (see datedComment). The header
// cuts it to its 82-byte field.
std::string headerComment(const OpenArchive& archive, const RunOptions& options,
                          const Environment& env);

// The steps the interactive and the automatic run share. One object is one
// run: start(), then StoreFile / CarryOver per row, then either
// finishCopy() + ReplaceArchive() or nothing (a stopped run). The destructor
// closes the files and deletes the temporaries, so every exit path, exceptions
// included, leaves the Work folder clean.
class ArchiveRun {
  public:
    enum class Mode { Interactive, Automatic };
    enum class Step { GoOn, Stop };
    enum class Replace { Replaced, NoRoom, Failed };

    // held: the archive's writer lock when the caller holds it already.
    ArchiveRun(OpenArchive& archive, RunOptions& options, const Environment& env, Ui& ui, Mode mode,
               const WriterLock* held = nullptr);
    ~ArchiveRun();
    ArchiveRun(const ArchiveRun&) = delete;
    ArchiveRun& operator=(const ArchiveRun&) = delete;

    // Falls back to the default Work folder when options.workFolder does not
    // exist (and gives it its final backslash), takes the archive's writer
    // lock (unless the caller holds it), checks that the archive still has
    // the stamp archive.catalogSource recorded, removes stale temporaries,
    // opens the old archive when archive.path names a file and checks its
    // records, then creates the new archive copy and writes its header. False,
    // after the busy message (error, interactive run only), when another
    // writer holds the archive; after changedMessage (likewise) when it
    // changed since the catalog was read; after the lock's refusal (error,
    // both runs, counted as a failure) when the archive's link or lock file
    // may not be used: nothing was done. Throws kv::Error when the old archive
    // cannot be opened or has a damaged record, or the copy cannot be created
    // or written; in the interactive run the "Opération annulée" box is shown
    // first when the copy cannot be created.
    bool start();

    // True when the archive existed at start(): the run is an update.
    bool isUpdate() const { return old_ != nullptr; }

    // Stores the file of row index of archive.rows: its member (made ahead by
    // a worker, or now) is appended after its record and verified as written
    // (see above). The index lets the run keep the workers busy with the rows
    // that follow; jobs of rows before it are dropped. A file whose path would
    // not read back shows "Le fichier < path > n'est pas archivé : reason"
    // (error, interactive run only) and is left out. A file that cannot be
    // stored shows "Impossible d'archiver le fichier < name >\r" and the cause
    // in French ("fichier utilisé par un autre programme", "accès refusé :
    // ...", "fichier spécial (tube nommé, socket ou périphérique), qui n'est
    // pas lu", "fichier modifié pendant sa lecture", ...) (interactive run
    // only), and keeps its last stored entry when the row has one; else the
    // row is left out. Its
    // attributes are the same afterwards in every case. Throws kv::Error when
    // no payload temporary can be made, or the new copy cannot be written or
    // does not read back as written.
    Step StoreFile(std::size_t index, const CatalogRow& row, const std::string& fullPath);

    // Copies the row's stored entry unchanged (record and payload) from the old
    // archive. Stop when the old archive no longer carries the signature (the
    // incompatible-file box is shown in both runs). A row never archived is left
    // out, with "Le fichier < path > ne se trouve pas dans l'archive" when
    // announce is set in the interactive run. When the record at the offset
    // belongs to another file (another writer replaced the archive since the
    // catalog was read), the entry is looked for by its path; a path the old
    // archive does not hold is left out silently. An entry that is not sound (format::CheckEntry)
    // is damaged: "Le fichier < path > est endommagé dans l'archive" (interactive run), counted as
    // a failure, and copied all the same when its payload lies inside the old archive (else left
    // out). Throws kv::Error on a read or write failure.
    Step CarryOver(const CatalogRow& row, const std::string& fullPath, bool announce = true) {
        return carryOver(row, fullPath, announce, nullptr);
    }

    // Counts a row that gets no entry and is not worth a message (a missing
    // file that the user asked to drop, or that a new archive skips).
    void leaveOut() { ++result_.leftOut; }

    // archive.rows now holds other rows (the next block of a run that does
    // not hold its whole catalog): the members made ahead for the rows before
    // are dropped, and the workers start on these.
    void nextRows();

    // True when the old archive holds an entry of that path (case-insensitive).
    bool holds(const std::string& fullPath) const { return entryOffsetOf(fullPath).has_value(); }

    // Appends what is still to be copied from the old archive, stops the
    // workers and closes the old archive; the new copy stays open for
    // ReplaceArchive (rewritten in V1 when it was begun in V2 and holds no
    // large entry). When the copy would be the old archive byte for byte,
    // nothing is copied. Throws kv::Error as StoreFile.
    void finishCopy();

    // Replaces the archive with the new copy when HasRoomForCopy says its drive
    // has room: the closed copy is renamed over the archive, or, when that
    // fails (another file system), copied to a temporary file beside the
    // archive that is renamed over it. NoRoom shows "Espace insuffisant sur le lecteur (
    // X),\rOpération annulée." (warning); Failed (the copy or the rename failed, or the archive is
    // read-only) shows "Opération annulée" (error); both only in the interactive run. The
    // interactive run's LabelFile ends with "Mise à jour de l'archive OK" or "Opération annulée".
    // The archive is unchanged unless Replaced. When Replaced, the files cache of the archive is
    // written afresh (a failure to write it is not one of the run's). A copy that would be the
    // old archive byte for byte (finishCopy) is not written: the archive is left as it is, which
    // is Replaced, whatever its room or its read-only attribute; its files cache is written
    // only when it learnt something.
    Replace ReplaceArchive();

    // Throws away the new copy: the run stopped.
    void abandon();

    ArchiveResult& result() { return result_; }

  private:
    // An entry of the old archive: its entry offset, a hash of its folded
    // full path (pathKey), and what the member maker needs of it. 40 bytes
    // each, so that an archive of a million entries costs 40 MB here.
    struct OldEntry {
        int64_t offset;
        uint64_t pathKey;
        StoredEntry entry;
    };
    // A member being made ahead for a row: vouched for by the files cache,
    // or made.
    struct Ahead {
        std::size_t row;
        MemberRequest request;
        std::shared_ptr<MemberPool::Job> job;
        int64_t bytes;    // the file's size as the row gives it
        std::string key;  // the folded path: one job per file at a time
    };
    // Bytes of the old archive still to be appended to the copy, as one
    // range, and the kept members in it whose trailers are to be read back.
    struct Carried {
        struct Check {
            int64_t end;  // where the payload ends, counted from the range's start in the copy
            uint32_t crc;
            int64_t length;
            std::string fullPath;
        };
        int64_t from = 0;
        int64_t length = 0;
        std::string firstPath;  // the entry the range starts with, for the error message
        std::vector<Check> checks;
    };

    MemberRequest requestFor(const CatalogRow& row, const std::string& fullPath) const;
    // The member of a file the files cache vouches for (see above); nullopt
    // when anything is in doubt. Runs on any thread: it reads the old archive
    // through a reader of its own, which fails once *stop is set.
    std::optional<FileMember> vouched(const MemberRequest& request,
                                      const std::atomic<bool>* stop = nullptr) const;
    FileMember memberFor(std::size_t index, const CatalogRow& row, const std::string& fullPath);
    void fillAhead();
    void stopWorkers();
    void closeOld();
    bool copyBeside(const std::string& archive);
    // A file that could not be stored: its message (the cause on the second
    // line) and the carry-over of its last stored copy.
    Step notStored(const CatalogRow& row, const std::string& fullPath, const std::string& cause);
    // CarryOver; storeFailure, when set, is why the file itself could not be
    // stored: the row's problem then tells that, and whether its last stored
    // copy was kept.
    Step carryOver(const CatalogRow& row, const std::string& fullPath, bool announce,
                   const std::string* storeFailure);
    // Before an entry is appended: a record that V1 cannot hold is counted,
    // and turns a V1 copy into V2.
    void holdInCopy(const format::EntryRecord& record);
    // Rewrites the new copy, as far as it is written, in the layout of to.
    void convertCopy(format::Version to);
    void say(MessageKind kind, const std::string& text);
    void removeTemporaries();
    void checkOldRecords(File& old);
    // Reads back the trailer of the payload that ends at end in the copy: it
    // must hold crc and length. Throws kv::Error when it does not.
    void verifyTrailer(int64_t end, const std::string& fullPath, uint32_t crc, int64_t length);
    // Appends count bytes of the old archive from `from` on, for fullPath's
    // entry: to the range still to be copied when they follow it, else after
    // that range was copied.
    void carry(int64_t from, int64_t count, const std::string& fullPath);
    // Starts the disk writing the copy's bytes since the last time, once
    // there are WriteBehindBytes of them: the copy's flush, when the archive
    // is replaced, then waits for little, its writing having gone on beside
    // the compression.
    void writeBehind();
    // Copies the range still to be copied, then reads back its trailers; the
    // copy no longer stands for the old archive (echo_).
    void flushCarried();
    // Reads back the trailer of every old entry whose bytes lie in
    // [from, from + length) of the old archive, copied to the copy at start:
    // each must be as the old archive holds it. Throws kv::Error when not.
    void checkEchoed(int64_t from, int64_t length, int64_t start);
    // The entry at that offset, nullptr when none starts there.
    const OldEntry* entryAt(int64_t offset) const;
    // The offset of the last entry of the old archive whose path is fullPath
    // (case-insensitively, checked on the record itself); nullopt when none.
    std::optional<int64_t> entryOffsetOf(const std::string& fullPath) const;

    OpenArchive& archive_;
    RunOptions& options_;
    const Environment& env_;
    Ui& ui_;
    Mode mode_;
    // The archive's writer lock: the caller's, or the run's own.
    const WriterLock& writerLock() const { return held_ ? *held_ : *lock_; }
    const WriterLock* held_;
    std::unique_ptr<WriterLock> lock_;
    TempFile copy_;                                      // the new archive copy in the Work folder
    format::Header header_;                              // as the copy's header holds it
    format::Version copyVersion_ = format::Version::V1;  // the copy's record layout
    format::Version oldVersion_ = format::Version::V1;   // the old archive's
    int largeEntries_ = 0;                               // entries of the copy that V1 cannot hold
    std::unique_ptr<SharedReader> old_;
    std::unique_ptr<File> oldView_;  // this thread's reader of the old archive
    int64_t oldSize_ = 0;
    format::HeaderBlock oldHeader_{};  // as read, when the archive existed
    // The entries of the old archive (when it has the signature), in file
    // order, which is offset order; and their indexes by pathKey, then offset.
    std::vector<OldEntry> oldEntries_;
    std::vector<std::size_t> byPath_;
    ArchiveResult result_;

    FilesCache cache_;                   // empty: nothing is vouched for
    std::vector<CachedEntry> newCache_;  // what the run stored, for the next one
    Carried carried_;
    // The copy stands for the old archive from its start: its header is the
    // old one byte for byte, and every entry so far is the old archive's
    // own, in its place: carried_ (not yet copied, its trailers not to be
    // read back one by one) runs from the first entry on.
    bool echo_ = false;
    int64_t writtenBack_ = 0;  // the copy's bytes before it are being written to the disk
    bool unchanged_ = false;   // finishCopy found the copy to be the old archive whole

    std::unique_ptr<MemberMaker> maker_;
    std::unique_ptr<MemberPool> pool_;  // none when the run makes one member at a time
    std::deque<Ahead> ahead_;           // in row order
    std::unordered_set<std::string> aheadKeys_;
    int64_t aheadBytes_ = 0;
    std::size_t planned_ = 0;  // the next row the workers may be given
};

}  // namespace kv

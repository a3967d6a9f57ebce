#pragma once
// The archiving run: writes the open archive afresh from the catalog. Every row
// whose file exists is compressed again from disk; a row whose file is gone is
// carried over unchanged from the old archive (through its entry offset) or left
// out. The new archive is built complete in the Work folder first, and only a
// finished copy ever replaces the archive file:
//
//   - the copy is written under a unique temporary name in the Work folder, so a
//     Work folder that is the archive's own folder never touches the archive
//     being read;
//   - it replaces the archive through a second temporary file beside the
//     archive, renamed over it: a failed copy or rename leaves the old archive
//     as it was;
//   - a run that stops (the stop button, an error inside the loop, an old
//     archive that lost its signature) leaves the archive file exactly as it
//     was, an absent archive stays absent, and the catalog is not re-read, so
//     the pending rows and listChanged survive for another try;
//   - a file that cannot be stored (compression fails, or it is 2 GiB or more)
//     keeps its last stored copy: when its row has a stored entry, that entry
//     is carried over unchanged;
//   - no temporary file stays in the Work folder or beside the archive, on any
//     path.
//
// ArchiveFiles is the interactive run behind the progress frame; AutoArchiveFiles
// (engine/AutoArchive.h) is the silent one. Both are built from ArchiveRun's steps.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Catalog.h"
#include "engine/Session.h"
#include "platform/Platform.h"
#include "util/Ui.h"

namespace kv {

// A row that did not get the entry it should have, and why, for the journal
// of the automatic mode.
struct RowProblem {
    std::string path;    // the row's full path
    std::string reason;  // French, e.g. "fichier illisible ou utilisé par un autre programme"
};

// What a run did, counted over the catalog rows.
struct ArchiveResult {
    int stored = 0;         // rows compressed afresh from disk
    int carriedOver = 0;    // entries copied unchanged from the old archive (also the
                            // last stored copy of a file that could not be stored)
    int leftOut = 0;        // rows that have no entry in the new archive
    int failures = 0;       // files that could not be stored, damaged stored entries
    bool replaced = false;  // the archive file now holds the new archive
    bool noRoom = false;    // not replaced: the archive's drive had no room for it
    bool stopped = false;   // the run stopped early: the archive file was not touched
    bool reloaded = false;  // the catalog was re-read at the end
    // Every failure and every row left out other than on request (the rows
    // that leftOut and failures count, except those dropped because
    // checkRecupeFile asked it), in catalog order.
    std::vector<RowProblem> problems;

    // Nothing went wrong: every file was stored or carried over as asked and
    // the archive was replaced.
    bool clean() const { return replaced && failures == 0; }
};

// Re-reads the catalog at the end of a completed run. The GUI passes one that
// wraps LoadArchive in its window side (wait dialog, caption, status panels);
// an empty hook calls LoadArchive itself. Whatever the hook throws is ignored.
using ReloadHook = std::function<void()>;

// The interactive archiving run over session.rows, shown through ui's progress
// frame ("Fichier : " + name, "Dossier : " + folder per row, then
// "Mise à jour de l'archive...", "Mise à jour de l'archive OK" or
// "Opération annulée", and last "Terminé").
//
// A new archive (no file at currentArchive) stores the rows whose files exist
// and skips the others without showing them. An update shows every row, stores
// what exists, and for a missing file leaves the row out when
// session.checkRecupeFile is set, else carries its entry over.
//
// The caller clears its cancel flag before the run; ui.cancelRequested() is
// polled at the start of each row. While the run lasts, session.gzip's
// progress events go to ui.setFilePercent() and ui.pump().
//
// After a completed run (replaced, or not for lack of room or a failed copy)
// the catalog is re-read through reload. A stopped run re-reads nothing.
// Throws kv::Error for an error that stops the run (the new copy cannot be
// created or written, the old archive cannot be read): the archive file is
// untouched, the temporaries are gone and "Terminé" was shown first.
// An empty currentArchive does nothing.
ArchiveResult ArchiveFiles(Session& session, Ui& ui, const ReloadHook& reload = {});

// The comment the runs write: session.comment, or with session.dateComment
// today's date "[dd/mm/yyyy]" followed by the comment from its 13th character
// on (the first 12, the width of a date prefix, are replaced whatever they are).
// The header cuts it to its 82-byte field.
std::string headerComment(const Session& session);

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

    ArchiveRun(Session& session, Ui& ui, Mode mode);
    ~ArchiveRun();
    ArchiveRun(const ArchiveRun&) = delete;
    ArchiveRun& operator=(const ArchiveRun&) = delete;

    // Falls back to the default Work folder when session.workFolder does not
    // exist (and gives it its final backslash), creates the new archive copy
    // and writes its header, and opens the old archive when currentArchive
    // names a file. Throws kv::Error when the copy cannot be created or
    // written, or the old archive cannot be opened; in the interactive run the
    // "Opération annulée" box is shown first when the copy cannot be created.
    void start();

    // True when the archive existed at start(): the run is an update.
    bool isUpdate() const { return old_ != nullptr; }

    // Compresses the file into the payload temporary and appends its record and
    // payload. A file that cannot be stored shows "Impossible d'archiver le
    // fichier < name >\rce fichier est probablement utilisé par Windows"
    // (interactive run only) and keeps its last stored entry when the row has
    // one; else the row is left out. Its attributes are the same afterwards in
    // every case. Throws kv::Error when the new copy cannot be written.
    Step StoreFile(const CatalogRow& row, const std::string& fullPath);

    // Copies the row's stored entry unchanged (record and payload) from the old
    // archive. Stop when the old archive no longer carries the signature (the
    // incompatible-file box is shown in both runs). A row never archived is left
    // out, with "Le fichier < path > ne se trouve pas dans l'archive" when
    // announce is set in the interactive run; a record whose path differs is
    // left out silently; an entry whose payload runs past the end of the old
    // archive is damaged: "Le fichier < path > est endommagé dans l'archive"
    // (interactive run), left out. Throws kv::Error on a read or write failure.
    Step CarryOver(const CatalogRow& row, const std::string& fullPath, bool announce = true) {
        return carryOver(row, fullPath, announce, nullptr);
    }

    // Counts a row that gets no entry and is not worth a message (a missing
    // file that the user asked to drop, or that a new archive skips).
    void leaveOut() { ++result_.leftOut; }

    // Closes the new copy and the old archive. Throws kv::Error when the copy
    // does not close cleanly (its last bytes may be lost).
    void finishCopy();

    // Replaces the archive with the new copy when HasRoomForCopy says its drive
    // has room: copied to a temporary file beside the archive, then renamed over
    // it. NoRoom shows "Espace insuffisant sur le lecteur ( X),\rOpération
    // annulée." (warning); Failed (the copy or the rename failed, or the
    // archive is read-only) shows "Opération annulée" (error); both only in the
    // interactive run. The interactive run's LabelFile ends with "Mise à jour de
    // l'archive OK" or "Opération annulée". The archive is unchanged unless
    // Replaced.
    Replace ReplaceArchive();

    // Throws away the new copy: the run stopped.
    void abandon();

    ArchiveResult& result() { return result_; }

  private:
    void storeFailed(const std::string& fullPath);
    // CarryOver; storeFailure, when set, is why the file itself could not be
    // stored: the row's problem then tells that, and whether its last stored
    // copy was kept.
    Step carryOver(const CatalogRow& row, const std::string& fullPath, bool announce,
                   const char* storeFailure);
    void say(MessageKind kind, const std::string& text);
    void removeTemporaries();

    Session& session_;
    Ui& ui_;
    Mode mode_;
    std::string copyPath_;     // the new archive copy in the Work folder
    std::string payloadPath_;  // the payload temporary
    std::unique_ptr<File> copy_;
    std::unique_ptr<File> old_;
    int64_t oldSize_ = 0;
    ArchiveResult result_;
};

}  // namespace kv

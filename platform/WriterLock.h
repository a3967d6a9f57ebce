#pragma once
// One writer per archive. A run that rewrites an archive (the archiving runs,
// the header update, save as, move) holds a WriterLock on it for its whole
// life: an exclusive lock on the file "~kvr" + the archive's name (lower case)
// + ".lock" beside the archive, made for the purpose and removed when the
// lock is released. The lock belongs to the open file, so a run that is
// killed leaves no stale lock (its file, if left behind, is taken over by the
// next writer). A second writer of the same archive, in this process or
// another, finds it Busy and must change nothing. Readers (load, restore,
// preview, kvr test) take no lock: the archive is only ever replaced whole.

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace kv {

class WriterLock {
  public:
    enum class State {
        Held,         // this writer alone may write the archive
        Busy,         // another writer holds it: refuse, change nothing
        Unavailable,  // no lock file can be made beside the archive (a read-only
                      // or missing folder): nobody else can take one there either
    };

    explicit WriterLock(const std::string& archivePath);
    ~WriterLock();  // releases the lock and removes its file
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    State state() const { return state_; }
    bool busy() const { return state_ == State::Busy; }

    // The lock file of an archive.
    static std::string lockPath(const std::string& archivePath);
    // "L'archive < path > est en cours d'écriture par une autre opération,\r
    // réessayez quand elle sera terminée." The message of a refused writer.
    static std::string busyMessage(const std::string& archivePath);

  private:
    std::string path_;
    std::unique_ptr<File> file_;
    State state_ = State::Unavailable;
};

}  // namespace kv

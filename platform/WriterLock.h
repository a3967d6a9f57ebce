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
//
// When the archive's name is a symbolic link, the archive is the file it leads
// to (Platform::linkedFile): the lock is taken beside that file, and the
// writer writes target(), so the link stays a link and a writer that names the
// file itself is kept out as well. A link that is not to be followed (another
// user's, dangling, leading to a folder) is Refused.
//
// The lock file is never written and never truncated: it is created for this
// user only (0600), and an existing one is opened only when it is a plain file
// of this user's with no other name. Anything else under its name (a link, a
// hard link, another user's file) is Refused: a name planted beside the
// archive never leads the writer to empty another file.

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace kv {

class WriterLock {
  public:
    enum class State {
        Held,         // this writer alone may write the archive
        Busy,         // another writer holds it: refuse, change nothing
        Refused,      // the archive's link or the lock file's name is not safe to
                      // use: refuse with message(), change nothing
        Unavailable,  // no lock file can be made beside the archive (a read-only
                      // or missing folder): nobody else can take one there either
    };

    explicit WriterLock(const std::string& archivePath);
    ~WriterLock();  // releases the lock and removes its file
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    [[nodiscard]] State state() const { return state_; }
    [[nodiscard]] bool busy() const { return state_ == State::Busy; }
    [[nodiscard]] bool refused() const { return state_ == State::Refused; }
    // Busy or Refused: the writer must change nothing and say message().
    [[nodiscard]] bool stops() const { return busy() || refused(); }
    // The file the writer writes: the archive path as given, or the file its
    // link leads to. Empty when the link is refused.
    [[nodiscard]] const std::string& target() const { return target_; }
    // Why a writer stops: busyMessage() when Busy, the refusal when Refused
    // (French, naming the archive and what stood in the way); empty otherwise.
    [[nodiscard]] const std::string& message() const { return message_; }

    // The lock file of an archive (its name as given: no link is followed).
    static std::string lockPath(const std::string& archivePath);
    // "L'archive < path > est en cours d'écriture par une autre opération,\r
    // réessayez quand elle sera terminée." The message of a refused writer.
    static std::string busyMessage(const std::string& archivePath);

  private:
    void take();

    std::string target_;
    std::string path_;
    std::string message_;
    std::unique_ptr<File> file_;
    State state_ = State::Unavailable;
};

}  // namespace kv

#include "platform/WriterLock.h"

#include "text/Text.h"

namespace kv {

namespace {

// A lock file removed by its last holder between our open and our lock is
// found again by name; a busy one stays busy.
constexpr int Attempts = 3;

}  // namespace

std::string WriterLock::lockPath(const std::string& archivePath) {
    const std::size_t cut = archivePath.rfind('\\');
    const std::string folder =
        cut == std::string::npos ? std::string() : archivePath.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? archivePath : archivePath.substr(cut + 1);
    return folder + "~kvr" + text::lower(name) + ".lock";
}

std::string WriterLock::busyMessage(const std::string& archivePath) {
    return "L'archive < " + archivePath +
           " > est en cours d'écriture par une autre opération,\rréessayez quand elle sera "
           "terminée.";
}

WriterLock::WriterLock(const std::string& archivePath) : path_(lockPath(archivePath)) {
    Platform& host = platform();
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::unique_ptr<File> file = host.open(path_, OpenMode::Create);
        if (!file) {
            state_ = State::Unavailable;
            return;
        }
        if (file->lock(LockKind::Exclusive)) {
            file_ = std::move(file);
            state_ = State::Held;
            return;
        }
        file->close();
        state_ = State::Busy;
    }
}

WriterLock::~WriterLock() {
    if (state_ != State::Held) return;
    // Removed while held: a writer that opened it meanwhile sees it is gone.
    platform().removeFile(path_);
    file_->close();
}

}  // namespace kv

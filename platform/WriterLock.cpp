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

WriterLock::WriterLock(const std::string& archivePath) {
    const std::optional<std::string> target = platform().linkedFile(archivePath);
    if (!target) {
        state_ = State::Refused;
        message_ = "L'archive < " + archivePath +
                   " > est un lien qui ne mène pas à un fichier sûr\r(lien d'un autre "
                   "utilisateur, cible absente ou dossier) :\relle n'est pas écrite.";
        return;
    }
    target_ = *target;
    path_ = lockPath(target_);
    take();
    if (state_ == State::Busy) message_ = busyMessage(archivePath);
    if (state_ == State::Refused)
        message_ = "Le fichier de verrou < " + path_ +
                   " > n'est pas un fichier ordinaire qui vous appartient\r(lien, autre "
                   "propriétaire ou second nom) :\rl'archive < " +
                   archivePath + " > n'est pas écrite.";
}

void WriterLock::take() {
    Platform& host = platform();
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::unique_ptr<File> file = host.open(path_, OpenMode::CreatePrivate);
        if (!file) file = host.open(path_, OpenMode::ReadWriteOwn);
        if (!file) {
            // Something is there that is not ours to open (a link, dangling
            // or not, a hard link, another user's file)...
            if (!host.find(path_, attr::AnyFile).empty()) {
                state_ = State::Refused;
                return;
            }
            // ...or the folder takes no file, or the last holder removed it
            // between our two opens: tried again.
            state_ = State::Unavailable;
            continue;
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

#include "platform/TempFile.h"

#include <unistd.h>

#include <atomic>

namespace kv {

namespace {

// Numbers are never reused by a process, so a name stays unique even when a
// temporary is removed behind its owner's back and another one made.
std::atomic<unsigned> counter{0};

// Tries a few names in turn; another process cannot take ours (its process id
// differs), so a clash means a leftover of a dead process with our id.
constexpr int Attempts = 100;

std::string folderOf(const std::string& path) {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& stem,
                   const std::string& extension) {
    Platform& host = platform();
    const std::string prefix = folder + stem + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        const std::string path = prefix + std::to_string(++counter) + extension;
        std::unique_ptr<File> file = host.open(path, OpenMode::CreatePrivate);
        if (!file) {
            if (host.attributes(path) == attr::Invalid) return;  // the folder takes no file
            continue;                                            // the name is taken
        }
        // A cleaner may have removed the new file before we could hold it:
        // then lock() says the name no longer leads to it, and we start again.
        if (!file->lock(LockKind::Shared)) {
            file->close();
            continue;
        }
        path_ = path;
        file_ = std::move(file);
        return;
    }
}

TempFile TempFile::beside(const std::string& target) {
    const uint32_t existing = platform().attributes(target);
    if (existing != attr::Invalid && (existing & (attr::ReadOnly | attr::Directory)))
        return TempFile();
    return TempFile(folderOf(target), CopyStem);
}

TempFile::TempFile(TempFile&& other) noexcept
    : path_(std::move(other.path_)), file_(std::move(other.file_)), hold_(std::move(other.hold_)) {
    other.path_.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        removeNow();
        path_ = std::move(other.path_);
        file_ = std::move(other.file_);
        hold_ = std::move(other.hold_);
        other.path_.clear();
    }
    return *this;
}

TempFile::~TempFile() {
    removeNow();
}

void TempFile::removeNow() {
    // Removed while still held, so no cleaner can mistake it for a leftover.
    if (!path_.empty()) platform().removeFile(path_);
    if (file_) file_->close();
    if (hold_) hold_->close();
    path_.clear();
    file_.reset();
    hold_.reset();
}

bool TempFile::close() {
    if (!file_) return false;
    hold_ = platform().open(path_, OpenMode::Read);
    if (hold_ && !hold_->lock(LockKind::Shared)) hold_.reset();
    const bool closed = file_->close();
    file_.reset();
    return closed;
}

bool TempFile::renameTo(const std::string& target, const std::string& permissionsOf) {
    if (path_.empty() || file_ ||
        !platform().replaceFile(path_, target, permissionsOf.empty() ? target : permissionsOf))
        return false;
    path_.clear();
    if (hold_) hold_->close();
    hold_.reset();
    return true;
}

int RemoveStaleTemporaries(const std::string& folder) {
    Platform& host = platform();
    int removed = 0;
    for (const char* pattern : {"tempKVR*.tmp", "~kvr*.tmp", "~kvv*"}) {
        for (const FindEntry& entry : host.find(folder + pattern, attr::FilesOnly)) {
            const std::string path = folder + entry.name;
            // Only a plain file of this user's: another user's temporaries
            // in a shared folder, and links, are never touched.
            std::unique_ptr<File> file = host.open(path, OpenMode::ReadWriteOwn);
            // An exclusive lock is refused while any live owner holds its shared one.
            if (file && file->lock(LockKind::Exclusive) && host.removeFile(path)) ++removed;
            if (file) file->close();
        }
    }
    return removed;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
    TempFile fresh(folderOf(path), TempFile::CopyStem);
    if (!fresh) return false;
    const bool written =
        bytes.empty() || fresh.file().write(bytes.data(), static_cast<int64_t>(bytes.size()));
    return fresh.close() && written && fresh.renameTo(path);
}

}  // namespace kv

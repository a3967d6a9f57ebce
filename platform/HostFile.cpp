#include "platform/HostFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/DosTime.h"

namespace kv {

std::unique_ptr<HostFile> HostFile::open(const std::string& hostPath, OpenMode mode,
                                         bool knownRegular) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY | O_NONBLOCK;
            break;
        case OpenMode::Create:
            flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR | O_NONBLOCK;
            break;
        case OpenMode::CreateNew:
        case OpenMode::CreatePrivate:
            // O_EXCL: fails when anything, a dangling link included, has the name.
            flags |= O_RDWR | O_CREAT | O_EXCL;
            break;
        case OpenMode::ReadWriteOwn:
            flags |= O_RDWR | O_NOFOLLOW | O_NONBLOCK;
            break;
    }
    const mode_t permissions = mode == OpenMode::CreatePrivate ? 0600 : 0644;
    // A pipe, socket or device is refused before it is opened: opening some
    // devices acts on them (a tape rewinds). O_NONBLOCK keeps the open itself
    // from waiting on a pipe put there meanwhile, and the check after it
    // refuses anything that is not a regular file.
    struct stat st;
    if ((mode == OpenMode::Read || mode == OpenMode::ReadWrite) && !knownRegular &&
        stat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return nullptr;
    int fd;
    do {
        fd = ::open(hostPath.c_str(), flags, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    bool accepted = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // A file another user owns, or one with a second name (a hard link
    // someone made to a file of theirs or ours), is not ours to write.
    if (accepted && mode == OpenMode::ReadWriteOwn)
        accepted = st.st_uid == geteuid() && st.st_nlink == 1;
    if (!accepted) {
        ::close(fd);
        return nullptr;
    }
    // The only status flag the open set is O_NONBLOCK.
    if (flags & O_NONBLOCK) fcntl(fd, F_SETFL, 0);
    std::unique_ptr<HostFile> file(new HostFile(fd, hostPath));
    file->opened_ = pathInfoOf(st);
    return file;
}

std::unique_ptr<HostFile> HostFile::adopt(int fd, std::string hostPath) {
    return std::unique_ptr<HostFile>(new HostFile(fd, std::move(hostPath)));
}

HostFile::~HostFile() {
    close();
}

namespace {

// Reads count bytes with readSome(at, want, done), one read() or pread()
// call, again after an interruption or a short read: the bytes read (fewer
// at the end of the file, or when a later call fails), or -1 when none
// could be.
template <typename ReadSome>
int64_t readRetrying(void* buffer, int64_t count, ReadSome readSome) {
    auto* p = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = readSome(p + done, static_cast<size_t>(count - done), done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

}  // namespace

int64_t HostFile::readAt(int64_t position, void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0 || position < 0) return -1;
    return readRetrying(buffer, count, [this, position](char* at, size_t want, int64_t done) {
        return ::pread(fd_, at, want, static_cast<off_t>(position + done));
    });
}

int64_t HostFile::read(void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0) return -1;
    return readRetrying(buffer, count,
                        [this](char* at, size_t want, int64_t) { return ::read(fd_, at, want); });
}

bool HostFile::write(const void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0) return false;
    const auto* p = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        if (n == 0) {
            failed_ = true;
            return false;
        }
        done += n;
    }
    return true;
}

bool HostFile::appendFrom(File& source, int64_t from, int64_t count) {
    auto* host = dynamic_cast<HostFile*>(&source);
    while (host && count > 0 && fd_ >= 0 && host->fd_ >= 0 && from >= 0) {
        loff_t in = from;
        const ssize_t n =
            ::copy_file_range(host->fd_, &in, fd_, nullptr,
                              static_cast<size_t>(std::min<int64_t>(count, 1 << 30)), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A kernel or file system that does not copy between these two
            // files: the bytes go through the program instead.
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                errno == EBADF)
                break;
            failed_ = true;
            return false;
        }
        if (n == 0) return false;  // the source ends first
        from += n;
        count -= n;
    }
    return count == 0 || File::appendFrom(source, from, count);
}

bool HostFile::seek(int64_t position) {
    if (fd_ < 0 || position < 0) return false;
    return lseek(fd_, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

int64_t HostFile::position() {
    if (fd_ < 0) return -1;
    return lseek(fd_, 0, SEEK_CUR);
}

int64_t HostFile::size() {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool HostFile::lock(LockKind kind) {
    if (fd_ < 0) return false;
    int rc;
    do {
        rc = flock(fd_, (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return false;
    // Someone may have removed or replaced the file between our open and the
    // lock: then the name no longer leads to what we hold.
    struct stat held, named;
    if (fstat(fd_, &held) == 0 && stat(hostPath_.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return true;
    flock(fd_, LOCK_UN);
    return false;
}

bool HostFile::setLastWriteDos(int32_t dosDateTime) {
    const std::optional<std::time_t> t = timeFromDos(dosDateTime);
    if (fd_ < 0 || !t) return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = *t;
    times[1].tv_nsec = 0;
    return futimens(fd_, times) == 0;
}

bool HostFile::setPermissions(uint32_t permissions) {
    return fd_ >= 0 && fchmod(fd_, static_cast<mode_t>(permissions & 07777)) == 0;
}

bool HostFile::flush() {
    if (fd_ < 0) return false;
    int rc;
    do {
        rc = fdatasync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) failed_ = true;
    return rc == 0;
}

void HostFile::startWriteback(int64_t from, int64_t count) {
    if (fd_ >= 0 && from >= 0 && count > 0)
        ::sync_file_range(fd_, static_cast<off_t>(from), static_cast<off_t>(count),
                          SYNC_FILE_RANGE_WRITE);
}

PathInfo pathInfoOf(const struct stat& st) {
    PathInfo info;
    info.kind = S_ISREG(st.st_mode)   ? PathInfo::Kind::File
                : S_ISDIR(st.st_mode) ? PathInfo::Kind::Folder
                                      : PathInfo::Kind::Other;
    info.device = static_cast<uint64_t>(st.st_dev);
    info.inode = static_cast<uint64_t>(st.st_ino);
    info.size = static_cast<int64_t>(st.st_size);
    info.lastWriteNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    info.changeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return info;
}

PathInfo HostFile::info() {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return {};
    return pathInfoOf(st);
}

PathInfo HostFile::openedInfo() {
    return opened_ ? *opened_ : info();
}

bool HostFile::truncate(int64_t size) {
    // A file a write failed on stays as it is: its close still reports it.
    if (fd_ < 0 || size < 0 || failed_) return false;
    return ftruncate(fd_, static_cast<off_t>(size)) == 0 && seek(size);
}

bool HostFile::close() {
    if (fd_ < 0) return !failed_;
    const int rc = ::close(fd_);
    fd_ = -1;
    // EINTR from close still releases the descriptor on Linux; only EIO and
    // ENOSPC (delayed write errors, NFS) mean the data may be lost.
    if (rc != 0 && errno != EINTR) failed_ = true;
    return !failed_;
}

}  // namespace kv

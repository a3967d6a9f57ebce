#include "EmbeddedArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/ArchiveFormat.h"

namespace kv::sfx {

EmbeddedArchive::~EmbeddedArchive() {
    close();
}

bool EmbeddedArchive::open(const std::string& hostPath, std::string& error) {
    fd_ = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        error = "Impossible de lire le programme < " + hostPath + " >";
        return false;
    }
    const int64_t total = info.st_size;
    uint8_t trailer[4];
    if (total < 4 || ::pread(fd_, trailer, 4, total - 4) != 4) {
        error = "Aucune archive n'est jointe à ce programme.";
        return false;
    }
    start_ = int64_t(trailer[0]) | int64_t(trailer[1]) << 8 | int64_t(trailer[2]) << 16 |
             int64_t(trailer[3]) << 24;
    if (start_ + format::HeaderSize > total - 4) {
        error = "Aucune archive n'est jointe à ce programme.";
        return false;
    }
    length_ = total - 4 - start_;
    return true;
}

int64_t EmbeddedArchive::readAt(int64_t position, void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0 || position < 0) return -1;
    if (count > length_ - position) count = length_ - position;
    if (count <= 0) return 0;
    ssize_t got;
    do {
        got = ::pread(fd_, buffer, static_cast<size_t>(count), start_ + position);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : got;
}

int64_t EmbeddedArchive::read(void* buffer, int64_t count) {
    const int64_t got = readAt(position_, buffer, count);
    if (got > 0) position_ += got;
    return got;
}

bool EmbeddedArchive::write(const void*, int64_t) {
    return false;
}

bool EmbeddedArchive::seek(int64_t position) {
    if (position < 0) return false;
    position_ = position;
    return true;
}

bool EmbeddedArchive::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return true;
}

}  // namespace kv::sfx

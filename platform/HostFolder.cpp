#include "platform/HostFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>

#include "platform/DosTime.h"
#include "platform/FolderNames.h"
#include "platform/HostFile.h"
#include "platform/HostNames.h"
#include "platform/HostPaths.h"

namespace kv {

using hostpath::joinHost;

namespace {

// The host name of one component, or nullopt when the name is no single
// component: empty, "." or "..", or holding a separator.
std::optional<std::string> component(const std::string& name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/") != std::string::npos || name.find('\0') != std::string::npos)
        return std::nullopt;
    return hostnames::toHostName(name);
}

FolderEntry entryOf(const std::string& windowsName, const struct stat& st) {
    FolderEntry e;
    e.name = windowsName;
    if (S_ISLNK(st.st_mode))
        e.kind = FolderEntry::Kind::Link;
    else if (S_ISDIR(st.st_mode))
        e.kind = FolderEntry::Kind::Folder;
    else if (S_ISREG(st.st_mode))
        e.kind = FolderEntry::Kind::File;
    e.dosDateTime = dosFromTime(st.st_mtime);
    e.permissions = st.st_mode & 07777;
    e.device = st.st_dev;
    e.inode = st.st_ino;
    return e;
}

int openDirectoryAt(int base, const char* name, int flags) {
    int fd;
    do {
        fd = ::openat(base, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

std::unique_ptr<HostFolder> HostFolder::open(const std::string& hostPath, std::string windowsPath) {
    std::string host = hostPath;
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    const int fd = openDirectoryAt(AT_FDCWD, host.c_str(), 0);
    if (fd < 0) return nullptr;
    return std::unique_ptr<HostFolder>(
        new HostFolder(fd, std::move(host), hostpath::withBackslash(std::move(windowsPath))));
}

HostFolder::~HostFolder() {
    ::close(fd_);
}

std::optional<FolderEntry> HostFolder::lookup(const std::string& name) {
    const std::optional<std::string> host = component(name);
    if (!host) return std::nullopt;
    struct stat st;
    if (fstatat(fd_, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return entryOf(name, st);
    if (errno != ENOENT) return std::nullopt;
    const std::string match = folderNames().match(hostPath_, *host);
    if (match.empty() || fstatat(fd_, match.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    const std::optional<std::string> windowsName = hostnames::toWindowsName(match);
    if (!windowsName) return std::nullopt;
    return entryOf(*windowsName, st);
}

std::unique_ptr<Folder> HostFolder::openFolder(const std::string& name, bool followOwnLink) {
    const std::optional<std::string> host = component(name);
    if (!host) return nullptr;
    const std::string childPath = path_ + name + '\\';
    int fd = openDirectoryAt(fd_, host->c_str(), O_NOFOLLOW);
    if (fd >= 0)
        return std::unique_ptr<Folder>(new HostFolder(fd, joinHost(hostPath_, *host), childPath));
    if (!followOwnLink) return nullptr;

    // The link itself is held while its owner and target are read, so the
    // target followed is that of the very link whose owner was checked.
    const int link = ::openat(fd_, host->c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return nullptr;
    struct stat st;
    char target[PATH_MAX];
    ssize_t length = -1;
    if (fstat(link, &st) == 0 && S_ISLNK(st.st_mode) && (st.st_uid == geteuid() || st.st_uid == 0))
        length = readlinkat(link, "", target, sizeof target - 1);
    ::close(link);
    if (length <= 0) return nullptr;
    target[length] = '\0';
    fd = openDirectoryAt(fd_, target, 0);
    if (fd < 0) return nullptr;
    const std::string reached =
        target[0] == '/' ? std::string(target) : joinHost(hostPath_, target);
    return std::unique_ptr<Folder>(new HostFolder(fd, reached, childPath));
}

bool HostFolder::createFolder(const std::string& name) {
    const std::optional<std::string> host = component(name);
    if (!host) return false;
    const auto change = FolderNames::begin(hostPath_);
    if (mkdirat(fd_, host->c_str(), 0777) != 0) return false;
    folderNames().added(change, *host);
    return true;
}

std::unique_ptr<File> HostFolder::createFile(const std::string& name) {
    const std::optional<std::string> host = component(name);
    if (!host) return nullptr;
    const auto change = FolderNames::begin(hostPath_);
    int fd;
    do {
        fd = ::openat(fd_, host->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    folderNames().added(change, *host);
    return HostFile::adopt(fd, joinHost(hostPath_, *host));
}

bool HostFolder::rename(const std::string& from, const std::string& to, bool replace) {
    const std::optional<std::string> a = component(from);
    const std::optional<std::string> b = component(to);
    if (!a || !b) return false;
    const auto change = FolderNames::begin(hostPath_);
    int rc;
    if (replace) {
        rc = renameat(fd_, a->c_str(), fd_, b->c_str());
    } else {
        rc = renameat2(fd_, a->c_str(), fd_, b->c_str(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without the no-replace rename: a hard link is
            // refused just the same when the name is taken.
            rc = linkat(fd_, a->c_str(), fd_, b->c_str(), 0);
            if (rc == 0) unlinkat(fd_, a->c_str(), 0);
        }
    }
    if (rc != 0) return false;
    folderNames().renamed(change, *a, change, *b);
    return true;
}

bool HostFolder::removeFile(const std::string& name) {
    const std::optional<std::string> host = component(name);
    if (!host) return false;
    const auto change = FolderNames::begin(hostPath_);
    if (unlinkat(fd_, host->c_str(), 0) != 0) return false;
    folderNames().removed(change, *host);
    return true;
}

bool HostFolder::flush() {
    return fsync(fd_) == 0;
}

uint32_t newFilePermissions() {
    // Read from the process's status: asking umask() means setting it, which
    // another thread creating a file at that moment would feel.
    static const uint32_t permissions = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            unsigned mask = 0;
            if (std::sscanf(line.c_str(), "Umask: %o", &mask) == 1) return 0666u & ~mask;
        }
        return 0644u;
    }();
    return permissions;
}

}  // namespace kv

// HostPlatform: files and folders (open, attributes, find, create, remove,
// rename, last-write times).

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/DosTime.h"
#include "platform/FolderNames.h"
#include "platform/HostFile.h"
#include "platform/HostFolder.h"
#include "platform/HostNames.h"
#include "platform/HostPaths.h"
#include "platform/HostPlatform.h"
#include "platform/Wildcard.h"
#include "text/Text.h"

namespace kv {

using hostpath::baseName;
using hostpath::isSeparator;
using hostpath::joinHost;
using hostpath::parentOf;
using hostpath::statFollow;

namespace {

constexpr const char* kDosAttribXattr = "user.DOSATTRIB";

// Hidden, system and archive bits kept in the user.DOSATTRIB attribute as
// text such as "0x22"; nullopt when the file has none (or the file system
// keeps no extended attributes).
std::optional<uint32_t> readDosAttrib(const std::string& hostPath, bool* unsupported = nullptr) {
    char value[32];
    const ssize_t n = getxattr(hostPath.c_str(), kDosAttribXattr, value, sizeof value - 1);
    if (n < 0) {
        if (unsupported) *unsupported = (errno == ENOTSUP);
        return std::nullopt;
    }
    value[n] = 0;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(value, &end, 0);
    if (end == value) return std::nullopt;
    return static_cast<uint32_t>(bits) & (attr::Hidden | attr::System | attr::Archive);
}

uint32_t defaultAttributes(const std::string& name, const struct stat& st) {
    uint32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= attr::Directory;
    else if (S_ISREG(st.st_mode))
        a |= attr::Archive;
    else
        a |= attr::System | attr::Archive;  // pipes, sockets, devices: never opened
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= attr::Hidden;
    return a;
}

// The attributes of an entry from its stat and its DOSATTRIB bits, if any.
uint32_t attributesFrom(const std::string& name, const struct stat& st,
                        std::optional<uint32_t> dos) {
    uint32_t a = defaultAttributes(name, st);
    if ((st.st_mode & S_IWUSR) == 0) a |= attr::ReadOnly;
    if (dos) {
        a &= ~(attr::System | attr::Archive);
        a |= *dos;
    }
    return a;
}

uint32_t attributesOf(const std::string& hostPath, const std::string& name, const struct stat& st,
                      bool checkXattr) {
    return attributesFrom(name, st, checkXattr ? readDosAttrib(hostPath) : std::nullopt);
}

// The process's umask, read where reading it changes nothing (umask() itself
// sets it, which would race with files other threads create meanwhile).
mode_t currentUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(status);
    }
    return static_cast<mode_t>(mask & 0777);
}

// Flushes a folder's entries (a rename into it) to the disk. A file system
// that cannot flush a folder has nothing more to offer: not an error.
void flushFolder(const std::string& hostFolder) {
    const int fd = ::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (fsync(fd) != 0 && errno == EINTR) {
    }
    ::close(fd);
}

}  // namespace

std::unique_ptr<File> HostPlatform::open(const std::string& path, OpenMode mode) {
    bool known = false;
    struct stat st;
    const auto host = resolve(path, &st, &known);
    if (!host) return nullptr;
    if (mode != OpenMode::Create && mode != OpenMode::CreateNew && mode != OpenMode::CreatePrivate)
        return HostFile::open(*host, mode, known && S_ISREG(st.st_mode));
    const auto change = FolderNames::begin(parentOf(*host));
    auto file = HostFile::open(*host, mode);
    if (file) folderNames().added(change, baseName(*host));
    return file;
}

ReadRefusal HostPlatform::readRefusal(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host) return ReadRefusal::Missing;
    if (stat(host->c_str(), &st) != 0)
        return errno == EACCES ? ReadRefusal::AccessDenied : ReadRefusal::Missing;
    if (!S_ISREG(st.st_mode)) return ReadRefusal::SpecialFile;
    // A regular file: opening it acts on nothing, and tells whether we may.
    const int fd = ::open(host->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return ReadRefusal::None;
    }
    return errno == EACCES || errno == EPERM ? ReadRefusal::AccessDenied : ReadRefusal::None;
}

uint32_t HostPlatform::attributes(const std::string& path) {
    std::optional<std::string> host;
    struct stat st;
    if (!statResolved(path, host, st)) return attr::Invalid;
    const auto wp = parseWindowsPath(path);
    const std::string name = (wp && !wp->components.empty()) ? baseName(*host) : std::string();
    return attributesOf(*host, name, st, true);
}

bool HostPlatform::setAttributes(const std::string& path, uint32_t attributes) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || stat(host->c_str(), &st) != 0) return false;
    bool ok = true;
    if (!S_ISDIR(st.st_mode)) {
        mode_t mode = st.st_mode & 07777;
        if (attributes & attr::ReadOnly)
            mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
        else
            mode |= S_IWUSR;
        if (mode != (st.st_mode & 07777)) ok = chmod(host->c_str(), mode) == 0;
    }
    // Hidden, system and archive go to the extended attribute, unless they are
    // what the file shows without one (then any old one is removed). A file
    // system without extended attributes keeps what it can: the call still
    // succeeds when the read-only bit was applied.
    const auto wp = parseWindowsPath(path);
    const std::string name = (wp && !wp->components.empty()) ? baseName(*host) : std::string();
    const uint32_t keep = attr::Hidden | attr::System | attr::Archive;
    const uint32_t wanted = attributes & keep;
    if (wanted == (defaultAttributes(name, st) & keep)) {
        removexattr(host->c_str(), kDosAttribXattr);
    } else {
        char value[16];
        std::snprintf(value, sizeof value, "0x%02X", wanted);
        setxattr(host->c_str(), kDosAttribXattr, value, std::strlen(value), 0);
    }
    return ok;
}

std::vector<FindEntry> HostPlatform::find(const std::string& pattern, uint32_t mask,
                                          std::vector<std::string>* unwritable) {
    std::vector<FindEntry> entries;
    if (pattern.empty() || isSeparator(pattern.back())) return entries;
    const std::size_t cut = pattern.find_last_of("\\/");
    const std::string namePattern = pattern.substr(cut == std::string::npos ? 2 : cut + 1);
    const auto wp = parseWindowsPath(pattern);
    if (!wp || wp->components.empty() || namePattern.empty() || namePattern == "." ||
        namePattern == "..")
        return entries;
    auto accept = [&](const std::string& name, const struct stat& st, uint32_t a, bool link) {
        if ((a & (attr::Hidden | attr::System | attr::Directory)) & ~mask) return;
        FindEntry e;
        e.link = link;
        e.name = *hostnames::toWindowsName(name);
        e.attributes = a;
        e.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
        e.dosDateTime = dosFromTime(st.st_mtime);
        e.special = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) ||
                    S_ISBLK(st.st_mode);
        entries.push_back(std::move(e));
    };
    if (!hasWildcards(namePattern)) {
        bool known = false;
        struct stat st;
        const auto host = resolve(pattern, &st, &known);
        if (!host || (!known && !statFollow(*host, st))) return entries;
        const std::string name = baseName(*host);
        if (!hostnames::toWindowsName(name)) {
            if (unwritable) unwritable->push_back(name);
            return entries;
        }
        struct stat own;
        const bool link = !known && lstat(host->c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        accept(name, st, attributesOf(*host, name, st, true), link);
        return entries;
    }
    const auto hostFolder =
        toHost(cut == std::string::npos ? pattern.substr(0, 2) : pattern.substr(0, cut + 1));
    if (!hostFolder) return entries;
    DIR* dir = opendir(hostFolder->c_str());
    if (!dir) return entries;
    const int dfd = dirfd(dir);
    bool xattrs = true;
    while (dirent* d = readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        const std::optional<std::string> windowsName = hostnames::toWindowsName(name);
        if (!windowsName) {
            // Matched on its bytes, so that a caller hears of what it asked for.
            if (unwritable && wildcardMatch(namePattern, name)) unwritable->push_back(name);
            continue;
        }
        if (!wildcardMatch(namePattern, *windowsName)) continue;
        struct stat st;
        bool link = d->d_type == DT_LNK;
        if (fstatat(dfd, d->d_name, &st, 0) != 0) {
            if (fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            link = S_ISLNK(st.st_mode);
        } else if (d->d_type == DT_UNKNOWN) {
            struct stat own;
            link = fstatat(dfd, d->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
        }
        // One attribute read per entry; a file system without user attributes
        // is asked once and then no more.
        std::optional<uint32_t> dos;
        if (xattrs) {
            bool unsupported = false;
            dos = readDosAttrib(joinHost(*hostFolder, name), &unsupported);
            if (unsupported) xattrs = false;
        }
        accept(name, st, attributesFrom(name, st, dos), link);
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FindEntry& a, const FindEntry& b) {
        const int c = text::compareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

bool HostPlatform::fileExists(const std::string& path) {
    std::optional<std::string> host;
    struct stat st;
    return statResolved(path, host, st) && !S_ISDIR(st.st_mode);
}

PathInfo HostPlatform::pathInfo(const std::string& path) {
    PathInfo info;
    bool known = false;
    struct stat st;
    const auto host = resolve(path, &st, &known);
    if (!host) return info;
    if (!known && stat(host->c_str(), &st) != 0) {
        if (errno == EACCES) info.kind = PathInfo::Kind::Denied;
        return info;
    }
    info = pathInfoOf(st);
    if (info.kind == PathInfo::Kind::Folder)
        info.listable = faccessat(AT_FDCWD, host->c_str(), R_OK | X_OK, AT_EACCESS) == 0;
    info.kernel = kernelDevice(info.device);
    return info;
}

bool HostPlatform::directoryExists(const std::string& path) {
    bool known = false;
    struct stat st;
    const auto host = resolve(path, &st, &known);
    return host && (known || stat(host->c_str(), &st) == 0) && S_ISDIR(st.st_mode);
}

// The changes below tell the folder-name lookups what they did, so that a
// folder being filled or emptied by us is not listed again after each entry.

bool HostPlatform::createDirectory(const std::string& path) {
    const auto host = toHost(path);
    if (!host) return false;
    const auto change = FolderNames::begin(parentOf(*host));
    if (mkdir(host->c_str(), 0777) != 0) return false;
    folderNames().added(change, baseName(*host));
    return true;
}

bool HostPlatform::removeDirectory(const std::string& path) {
    const auto host = toHost(path);
    if (!host) return false;
    const auto change = FolderNames::begin(parentOf(*host));
    if (rmdir(host->c_str()) != 0) return false;
    folderNames().removed(change, baseName(*host));
    folderNames().forget(*host);
    return true;
}

bool HostPlatform::removeFile(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || lstat(host->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    const auto change = FolderNames::begin(parentOf(*host));
    if (unlink(host->c_str()) != 0) return false;
    folderNames().removed(change, baseName(*host));
    return true;
}

bool HostPlatform::renameFile(const std::string& from, const std::string& to) {
    const auto a = toHost(from);
    auto b = toHost(to);
    if (!a || !b) return false;
    // A destination that finds the source itself (a change of letter case
    // only) takes its last component as written, so the new spelling sticks.
    struct stat sa, sb;
    const auto wp = parseWindowsPath(to);
    if (wp && !wp->components.empty() && lstat(a->c_str(), &sa) == 0 &&
        lstat(b->c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        b = joinHost(parentOf(*b), wp->components.back());
    const auto fromChange = FolderNames::begin(parentOf(*a));
    const auto toChange = FolderNames::begin(parentOf(*b));
    if (rename(a->c_str(), b->c_str()) != 0) return false;
    folderNames().renamed(fromChange, baseName(*a), toChange, baseName(*b));
    folderNames().forget(*a);  // a folder's names kept under its old path
    return true;
}

bool HostPlatform::replaceFile(const std::string& from, const std::string& to,
                               const std::string& permissionsOf) {
    const auto a = toHost(from);
    const auto b = toHost(to);
    const auto like = toHost(permissionsOf);
    if (!a || !b || !like) return false;
    struct stat old;
    const bool replacesFile = lstat(like->c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(a->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    // The data reaches the disk before the new name does: a crash then leaves
    // the old file or the whole new one, never a short one in its place.
    int rc;
    do {
        rc = fdatasync(fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || !renameFile(from, to)) {
        ::close(fd);
        return false;
    }
    // The permissions are given once the file is in place: the copy waiting
    // in a shared folder (the Work folder) stays readable by this user only.
    // An owner or group this process may not give stays its own.
    if (replacesFile) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)!fchmod(fd, old.st_mode & 0777);
    } else {
        (void)!fchmod(fd, 0666 & ~currentUmask());
    }
    ::close(fd);
    flushFolder(parentOf(*b));
    return true;
}

std::optional<std::string> HostPlatform::linkedFile(const std::string& path) {
    const auto host = toHost(path);
    struct stat link;
    if (!host || lstat(host->c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    // A link someone else planted is never written through: in a shared
    // folder it could lead to any file of this user's.
    if (link.st_uid != geteuid() && link.st_uid != 0) return std::nullopt;
    char* real = realpath(host->c_str(), nullptr);
    if (!real) return std::nullopt;
    const std::string target = real;
    std::free(real);
    struct stat st;
    if (stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return toWindows(target);
}

std::optional<int32_t> HostPlatform::lastWriteDos(const std::string& path) {
    std::optional<std::string> host;
    struct stat st;
    if (!statResolved(path, host, st)) return std::nullopt;
    return dosFromTime(st.st_mtime);
}

std::optional<int32_t> HostPlatform::fileLastWriteDos(const std::string& path) {
    std::optional<std::string> host;
    struct stat st;
    if (!statResolved(path, host, st) || S_ISDIR(st.st_mode)) return std::nullopt;
    return dosFromTime(st.st_mtime);
}

bool HostPlatform::setLastWriteDos(const std::string& path, int32_t dosDateTime) {
    const auto host = toHost(path);
    const auto t = timeFromDos(dosDateTime);
    if (!host || !t) return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = *t;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, host->c_str(), times, 0) == 0;
}

bool HostPlatform::setExecutable(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    return chmod(host->c_str(), mode) == 0;
}

std::unique_ptr<Folder> HostPlatform::openFolder(const std::string& path) {
    const auto host = toHost(path);
    if (!host) return nullptr;
    return HostFolder::open(*host, path);
}

}  // namespace kv

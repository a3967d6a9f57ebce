// HostPlatform: volumes (free space, drive types, labels and serials), the
// logical-drive mask, the current drive, the mount watch and the well-known
// folders.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

#include "platform/HostPaths.h"
#include "platform/HostPlatform.h"

namespace kv {

using hostpath::parentOf;
using hostpath::rootLetter;
using hostpath::withBackslash;

namespace {

const char* driveTypeText(DriveType type) {
    switch (type) {
        case DriveType::Fixed:
            return "Disque local";
        case DriveType::Removable:
            return "Disque amovible";
        case DriveType::Remote:
            return "Lecteur réseau";
        case DriveType::CdRom:
            return "Lecteur CD";
        case DriveType::RamDisk:
            return "Disque RAM";
        default:
            return "Lecteur";
    }
}

}  // namespace

int64_t HostPlatform::freeBytes(const std::string& path) {
    auto host = toHost(path);
    if (!host) return -1;
    std::string folder = *host;
    struct stat st;
    while (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const std::string parent = parentOf(folder);
        if (parent == folder) return -1;
        folder = parent;
    }
    struct statvfs vfs;
    if (statvfs(folder.c_str(), &vfs) != 0) return -1;
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

DriveType HostPlatform::driveType(const std::string& rootPath) {
    char letter = rootLetter(rootPath);
    if (rootPath.empty()) letter = currentDrive();
    if (!letter) return DriveType::NoRootDir;
    const auto d = drive(letter);
    return d ? d->type : DriveType::NoRootDir;
}

bool HostPlatform::volumeInformation(const std::string& rootPath, std::string& label,
                                     uint32_t& serial) {
    const char letter = rootLetter(rootPath);
    const auto d = letter ? drive(letter) : std::nullopt;
    struct stat st;
    if (!d || !d->mediaPresent || stat(d->hostRoot.c_str(), &st) != 0) return false;
    label = d->label;
    serial = d->serial;
    return true;
}

uint32_t HostPlatform::logicalDrives() {
    uint32_t mask = 0;
    for (const Drive& d : drives()) mask |= 1u << (d.letter - 'A');
    return mask;
}

char HostPlatform::currentDrive() {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return 'C';
    const auto w = toWindows(cwd);
    return w ? (*w)[0] : 'C';
}

uint64_t HostPlatform::mountGeneration() {
    std::lock_guard lock(mutex_);
    refreshLocked();
    return generation_;
}

int HostPlatform::mountWatchHandle() {
    std::lock_guard lock(mutex_);
    if (watchFd_ < 0) watchFd_ = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
    return watchFd_;
}

// ----- Well-known folders -----

std::string HostPlatform::tempFolder() {
    const char* tmp = getenv("TMPDIR");
    std::optional<std::string> w;
    if (tmp && *tmp == '/') w = toWindows(tmp);
    if (!w) w = toWindows("/tmp");
    return w ? withBackslash(*w) : std::string();
}

std::string HostPlatform::programFolder() {
    std::string host;
    if (const char* home = getenv("KORVELT_HOME"); home && *home) {
        host = home;
    } else {
        char exe[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return {};
        exe[n] = 0;
        host = parentOf(exe);
    }
    const auto w = toWindows(host);
    return w ? withBackslash(*w) : std::string();
}

std::string driveDisplayName(const Drive& drive) {
    const std::string suffix = std::string(" (") + drive.letter + ":)";
    if (drive.mediaPresent && !drive.label.empty()) return drive.label + suffix;
    return driveTypeText(drive.type) + suffix;
}

}  // namespace kv

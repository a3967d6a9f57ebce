#include "platform/HostPlatform.h"

// The host implementation, split by subject:
//   HostPlatform.cpp         the drive map and the path conversions
//   HostPlatformFiles.cpp    files and folders: open, attributes, find, times
//   HostPlatformVolumes.cpp  volumes, the drive mask, the well-known folders
//   HostPlatformShell.cpp    opening documents, shell folders, shortcuts, window classes

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/DriveMap.h"
#include "platform/FolderNames.h"
#include "platform/HostNames.h"
#include "platform/HostPaths.h"

namespace kv {

using hostpath::isSeparator;
using hostpath::joinHost;
using hostpath::parentOf;
using hostpath::statFollow;

namespace {

std::string readWhole(int fd) {
    std::string text;
    if (lseek(fd, 0, SEEK_SET) != 0) return text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

// ----- Windows paths -----

std::optional<WindowsPath> parseWindowsPath(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    WindowsPath wp;
    wp.letter = letter;
    std::size_t i = 2;
    while (i < path.size()) {
        std::size_t end = i;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        const std::string part = path.substr(i, end - i);
        if (part == "..") {
            if (!wp.components.empty()) wp.components.pop_back();
        } else if (!part.empty() && part != ".") {
            if (part.find('\0') != std::string::npos) return std::nullopt;
            std::optional<std::string> host = hostnames::toHostName(part);
            if (!host) return std::nullopt;
            wp.components.push_back(std::move(*host));
        }
        i = end + 1;
    }
    wp.trailingSeparator = !wp.components.empty() && isSeparator(path.back());
    return wp;
}

// ----- The drive map -----

HostPlatform::HostPlatform() = default;

HostPlatform::~HostPlatform() {
    if (mountFd_ >= 0) close(mountFd_);
    if (watchFd_ >= 0) close(watchFd_);
}

void HostPlatform::setDriveMap(std::vector<Drive> drives) {
    std::lock_guard lock(mutex_);
    for (Drive& d : drives) {
        d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(d.letter)));
        while (d.hostRoot.size() > 1 && d.hostRoot.back() == '/') d.hostRoot.pop_back();
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    drives_ = std::move(drives);
    inProcess_ = true;
    fromMountTable_ = false;
    loaded_ = true;
    ++generation_;
}

void HostPlatform::resetDriveMap() {
    std::lock_guard lock(mutex_);
    inProcess_ = false;
    loaded_ = false;
    ++generation_;
}

void HostPlatform::loadLocked() {
    if (mountFd_ < 0) {
        mountFd_ = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
        if (mountFd_ >= 0) mountsText_ = readWhole(mountFd_);
    }
    if (loaded_) return;
    loaded_ = true;
    const char* list = getenv("KORVELT_DRIVES");
    if (list && *list) {
        std::vector<std::string> errors;
        drives_ = drivemap::parseDriveList(list, &errors);
        for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        fromMountTable_ = false;
    } else {
        drives_ = drivemap::fromMounts(drivemap::parseMounts(mountsText_), drivemap::realProbe());
        fromMountTable_ = true;
    }
}

void HostPlatform::refreshLocked(bool pathCall) {
    loadLocked();
    if (mountFd_ < 0) return;
    if (pathCall) {
        // Path conversions are the hot path (every catalog row asks): they
        // skip the check when the map does not follow mounts, and make it at
        // most every 100 ms when it does. mountGeneration() always checks.
        if (!fromMountTable_) return;
        timespec now;
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
        const int64_t ms = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
        if (ms - lastCheckMs_ < 100) return;
        lastCheckMs_ = ms;
    }
    pollfd p{mountFd_, POLLPRI, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR))) return;
    std::string text = readWhole(mountFd_);
    if (text == mountsText_) return;
    mountsText_ = std::move(text);
    ++generation_;
    if (fromMountTable_)
        drives_ = drivemap::fromMounts(drivemap::parseMounts(mountsText_), drivemap::realProbe());
}

bool HostPlatform::kernelDevice(uint64_t device) {
    std::lock_guard lock(mutex_);
    refreshLocked(true);
    if (kernelGeneration_ != generation_) {
        // The table names mount points; a stat of each gives the device that
        // the files below it carry.
        kernelDevices_.clear();
        for (const drivemap::MountEntry& m : drivemap::parseMounts(mountsText_)) {
            struct stat st;
            if (drivemap::isKernelFileSystem(m.fsType) && stat(m.mountPoint.c_str(), &st) == 0)
                kernelDevices_.push_back(static_cast<uint64_t>(st.st_dev));
        }
        kernelGeneration_ = generation_;
    }
    return std::find(kernelDevices_.begin(), kernelDevices_.end(), device) != kernelDevices_.end();
}

std::optional<Drive> HostPlatform::driveLocked(char letter) {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Drive& d : drives_) {
        if (d.letter == letter) return d;
    }
    return std::nullopt;
}

std::vector<Drive> HostPlatform::drives() {
    std::lock_guard lock(mutex_);
    refreshLocked();
    return drives_;
}

std::optional<Drive> HostPlatform::drive(char letter) {
    std::lock_guard lock(mutex_);
    refreshLocked(true);
    return driveLocked(letter);
}

std::optional<std::string> HostPlatform::toHost(const std::string& windowsPath) {
    return resolve(windowsPath, nullptr, nullptr);
}

bool HostPlatform::statResolved(const std::string& windowsPath, std::optional<std::string>& host,
                                struct stat& st) {
    bool known = false;
    host = resolve(windowsPath, &st, &known);
    return host && (known || statFollow(*host, st));
}

std::optional<std::string> HostPlatform::resolve(const std::string& windowsPath, struct stat* found,
                                                 bool* known) {
    if (known) *known = false;
    const auto wp = parseWindowsPath(windowsPath);
    if (!wp) return std::nullopt;
    std::string root;
    {
        std::lock_guard lock(mutex_);
        refreshLocked(true);
        const auto d = driveLocked(wp->letter);
        if (!d || !d->mediaPresent) return std::nullopt;
        root = d->hostRoot;
    }
    if (wp->components.empty()) return root;
    std::string exact = root;
    for (const std::string& c : wp->components) exact = joinHost(exact, c);
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) {
        if (found && known && !wp->trailingSeparator && !S_ISLNK(st.st_mode)) {
            *found = st;
            *known = true;
        }
    } else {
        // Walk down, taking the first case-insensitive match (in byte order)
        // where the exact spelling is missing; once a level is missing the
        // rest keeps the given spelling.
        // The common case, a missing file in a folder spelled as on disk,
        // starts from that folder.
        std::string cur = root;
        std::size_t from = 0;
        if (wp->components.size() > 1) {
            std::string parent = parentOf(exact);
            if (lstat(parent.c_str(), &st) == 0) {
                cur = std::move(parent);
                from = wp->components.size() - 1;
            }
        }
        bool found = true;
        for (std::size_t k = from; k < wp->components.size(); ++k) {
            const std::string& c = wp->components[k];
            std::string next = joinHost(cur, c);
            // The exact path is already known to be missing.
            const bool missing = k + 1 == wp->components.size() && k == from;
            if (found && (missing || lstat(next.c_str(), &st) != 0)) {
                found = false;
                const std::string best = folderNames().match(cur, c);
                if (!best.empty()) {
                    next = joinHost(cur, best);
                    found = true;
                }
            }
            cur = std::move(next);
        }
        exact = std::move(cur);
    }
    if (wp->trailingSeparator) exact += '/';
    return exact;
}

std::optional<std::string> HostPlatform::toWindows(const std::string& hostPath) {
    std::string path = hostPath;
    if (path.empty()) return std::nullopt;
    if (path[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return std::nullopt;
        path = joinHost(cwd, path);
    }
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t end = path.find('/', i);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(i, end - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = end + 1;
    }
    const bool trailing = path.back() == '/' && !parts.empty();
    std::vector<Drive> drives;
    {
        std::lock_guard lock(mutex_);
        refreshLocked(true);
        drives = drives_;
    }
    const Drive* best = nullptr;
    std::size_t bestDepth = 0;
    for (const Drive& d : drives) {
        if (!d.mediaPresent) continue;
        std::vector<std::string> rootParts;
        std::size_t k = 0;
        while (k < d.hostRoot.size()) {
            std::size_t end = d.hostRoot.find('/', k);
            if (end == std::string::npos) end = d.hostRoot.size();
            if (end > k) rootParts.push_back(d.hostRoot.substr(k, end - k));
            k = end + 1;
        }
        if (rootParts.size() > parts.size() ||
            !std::equal(rootParts.begin(), rootParts.end(), parts.begin()))
            continue;
        if (!best || rootParts.size() > bestDepth) {
            best = &d;
            bestDepth = rootParts.size();
        }
    }
    if (!best) return std::nullopt;
    std::string out = std::string(1, best->letter) + ":\\";
    for (std::size_t k = bestDepth; k < parts.size(); ++k) {
        const std::optional<std::string> name = hostnames::toWindowsName(parts[k]);
        if (!name) return std::nullopt;
        if (k > bestDepth) out += '\\';
        out += *name;
    }
    if (trailing && parts.size() > bestDepth) out += '\\';
    return out;
}

HostPlatform& hostPlatform() {
    static HostPlatform instance;
    return instance;
}

}  // namespace kv

#include "platform/HostPlatform.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/DosTime.h"
#include "platform/DriveMap.h"
#include "platform/FolderNames.h"
#include "platform/HostFile.h"
#include "platform/HostNames.h"
#include "platform/Wildcard.h"
#include "text/Text.h"

namespace kv {
namespace {

constexpr const char* kDosAttribXattr = "user.DOSATTRIB";

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string joinHost(const std::string& base, const std::string& name) {
    if (base.empty() || base.back() == '/') return base + name;
    return base + "/" + name;
}

std::string baseName(const std::string& hostPath) {
    std::string p = hostPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const std::size_t at = p.rfind('/');
    return at == std::string::npos ? p : p.substr(at + 1);
}

std::string parentOf(const std::string& hostPath) {
    std::string p = hostPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const std::size_t at = p.rfind('/');
    if (at == std::string::npos) return ".";
    if (at == 0) return "/";
    return p.substr(0, at);
}

bool statFollow(const std::string& hostPath, struct stat& st) {
    return stat(hostPath.c_str(), &st) == 0 || lstat(hostPath.c_str(), &st) == 0;
}

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

std::string homeFolder() {
    if (const char* home = getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string configFolder() {
    if (const char* xdg = getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    return joinHost(homeFolder(), ".config");
}

std::string withBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

bool isExecutableFile(const std::string& hostPath) {
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) && access(hostPath.c_str(), X_OK) == 0;
}

std::string findInPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty()) {
            const std::string candidate = joinHost(dir, program);
            if (isExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Starts argv detached from us (own session, not our child), in folder cwd.
// Returns 0 when the program was started, else the errno of the failure.
int spawnDetached(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    const pid_t child = fork();
    if (child < 0) {
        const int e = errno;
        close(report[0]);
        close(report[1]);
        return e;
    }
    if (child == 0) {
        close(report[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild < 0) {
            int e = errno;
            (void)!write(report[1], &e, sizeof e);
            _exit(1);
        }
        if (grandchild == 0) {
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
                int e = errno;
                (void)!write(report[1], &e, sizeof e);
                _exit(127);
            }
            execv(argv[0], argv.data());
            int e = errno;
            (void)!write(report[1], &e, sizeof e);
            _exit(127);
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int e = 0;
    ssize_t n;
    do {
        n = read(report[0], &e, sizeof e);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    return n == static_cast<ssize_t>(sizeof e) ? e : 0;
}

// Quotes an argument for the Exec key of a desktop entry: inside double
// quotes ", `, $ and \ take a backslash, then the whole value escapes \ once
// more as a desktop-entry string, and % is doubled as a field code escape.
std::string desktopExecQuote(const std::string& arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

// A desktop-entry string value: no line breaks, backslash escaped.
std::string desktopString(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

bool makeHostFolders(const std::string& hostFolder) {
    struct stat st;
    if (stat(hostFolder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = parentOf(hostFolder);
    if (parent != hostFolder && !makeHostFolders(parent)) return false;
    return mkdir(hostFolder.c_str(), 0777) == 0 || errno == EEXIST;
}

bool socketAddress(const std::string& className, sockaddr_un& addr, socklen_t& length) {
    const std::string name = windowClassSocketName(className);
    if (name.size() + 1 > sizeof addr.sun_path) return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

int connectWindowClass(const std::string& className) {
    sockaddr_un addr;
    socklen_t length;
    if (!socketAddress(className, addr, length)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

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

// "X:", "X:\" or "X:/" (any letter case): the drive letter, else 0.
char rootLetter(const std::string& rootPath) {
    if (rootPath.size() < 2 || rootPath.size() > 3 || rootPath[1] != ':') return 0;
    if (rootPath.size() == 3 && !isSeparator(rootPath[2])) return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0])));
    return (c >= 'A' && c <= 'Z') ? c : 0;
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

std::string windowClassSocketName(const std::string& className) {
    return "korvelt-" + std::to_string(getuid()) + "-" + className;
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
    if (lstat(exact.c_str(), &st) != 0) {
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

// ----- Files and folders -----

std::unique_ptr<File> HostPlatform::open(const std::string& path, OpenMode mode) {
    const auto host = toHost(path);
    if (!host) return nullptr;
    if (mode != OpenMode::Create && mode != OpenMode::CreateNew) return HostFile::open(*host, mode);
    const auto change = FolderNames::begin(parentOf(*host));
    auto file = HostFile::open(*host, mode);
    if (file) folderNames().added(change, baseName(*host));
    return file;
}

uint32_t HostPlatform::attributes(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || !statFollow(*host, st)) return attr::Invalid;
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
    auto accept = [&](const std::string& name, const struct stat& st, uint32_t a) {
        if ((a & (attr::Hidden | attr::System | attr::Directory)) & ~mask) return;
        FindEntry e;
        e.name = *hostnames::toWindowsName(name);
        e.attributes = a;
        e.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
        e.dosDateTime = dosFromTime(st.st_mtime);
        entries.push_back(std::move(e));
    };
    if (!hasWildcards(namePattern)) {
        const auto host = toHost(pattern);
        struct stat st;
        if (!host || !statFollow(*host, st)) return entries;
        const std::string name = baseName(*host);
        if (!hostnames::toWindowsName(name)) {
            if (unwritable) unwritable->push_back(name);
            return entries;
        }
        accept(name, st, attributesOf(*host, name, st, true));
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
        if (fstatat(dfd, d->d_name, &st, 0) != 0 &&
            fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // One attribute read per entry; a file system without user attributes
        // is asked once and then no more.
        std::optional<uint32_t> dos;
        if (xattrs) {
            bool unsupported = false;
            dos = readDosAttrib(joinHost(*hostFolder, name), &unsupported);
            if (unsupported) xattrs = false;
        }
        accept(name, st, attributesFrom(name, st, dos));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FindEntry& a, const FindEntry& b) {
        const int c = text::compareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

bool HostPlatform::fileExists(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    return host && statFollow(*host, st) && !S_ISDIR(st.st_mode);
}

bool HostPlatform::directoryExists(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    return host && stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

std::optional<int32_t> HostPlatform::lastWriteDos(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || !statFollow(*host, st)) return std::nullopt;
    return dosFromTime(st.st_mtime);
}

std::optional<int32_t> HostPlatform::fileLastWriteDos(const std::string& path) {
    const auto host = toHost(path);
    struct stat st;
    if (!host || !statFollow(*host, st) || S_ISDIR(st.st_mode)) return std::nullopt;
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

// ----- Volumes -----

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

// ----- Shell -----

int HostPlatform::openDocument(const std::string& file, const std::string& folder) {
    std::string windowsFile = file;
    if (!parseWindowsPath(file) && !folder.empty()) windowsFile = withBackslash(folder) + file;
    std::optional<std::string> hostFolder;
    if (!folder.empty()) {
        hostFolder = toHost(folder);
        struct stat st;
        if (!hostFolder || stat(hostFolder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 3;
    }
    const auto host = toHost(windowsFile);
    struct stat st;
    if (!host) return 3;
    if (stat(host->c_str(), &st) != 0) {
        struct stat parent;
        return stat(parentOf(*host).c_str(), &parent) == 0 ? 2 : 3;
    }
    const std::string cwd = hostFolder ? *hostFolder : parentOf(*host);
    if (isExecutableFile(*host)) return spawnDetached({*host}, cwd) == 0 ? 42 : 11;
    std::string opener;
    if (const char* custom = getenv("KORVELT_OPENER"); custom && *custom) {
        opener = custom[0] == '/' ? std::string(custom) : findInPath(custom);
    } else {
        opener = findInPath("xdg-open");
    }
    if (opener.empty()) return 31;
    return spawnDetached({opener, *host}, cwd) == 0 ? 42 : 31;
}

std::string HostPlatform::displayName(const std::string& path) {
    if (const char letter = rootLetter(path)) {
        const auto d = drive(letter);
        return d ? driveDisplayName(*d) : std::string();
    }
    const auto wp = parseWindowsPath(path);
    if (!wp || wp->components.empty()) return {};
    const auto host = toHost(path);
    struct stat st;
    if (!host || !statFollow(*host, st)) return {};
    return hostnames::toWindowsName(baseName(*host)).value_or(std::string());
}

std::string HostPlatform::shellFolder(const std::string& valueName) {
    std::string host;
    if (text::equalNoCase(valueName, "STARTUP"))
        host = joinHost(configFolder(), "autostart");
    else if (text::equalNoCase(valueName, "Desktop"))
        host = joinHost(homeFolder(), "Desktop");
    else if (text::equalNoCase(valueName, "Personal"))
        host = homeFolder();
    else if (text::equalNoCase(valueName, "AppData"))
        host = configFolder();
    else
        return {};
    const auto w = toWindows(host);
    return w ? *w : std::string();
}

bool HostPlatform::writeShortcut(const std::string& target, const std::string& shortcutPath) {
    const auto targetHost = toHost(target);
    const auto linkHost = toHost(shortcutPath);
    if (!targetHost || !linkHost) return false;
    if (!makeHostFolders(parentOf(*linkHost))) return false;
    std::string stem = baseName(*linkHost);
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    const std::string content = "[Desktop Entry]\nType=Application\nName=" + desktopString(stem) +
                                "\nExec=" + desktopExecQuote(*targetHost) + "\n";
    auto out = HostFile::open(*linkHost, OpenMode::Create);
    if (!out) return false;
    const bool written = out->write(content.data(), static_cast<int64_t>(content.size()));
    return out->close() && written;
}

bool HostPlatform::findWindowClass(const std::string& className) {
    const int fd = connectWindowClass(className);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool HostPlatform::closeWindowClass(const std::string& className) {
    const int fd = connectWindowClass(className);
    if (fd < 0) return false;
    static const char request[] = "CLOSE\n";
    const bool sent = send(fd, request, sizeof request - 1, MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(sizeof request - 1);
    if (sent) {
        // Like a synchronous close message: wait (a few seconds at most) for
        // the owner to answer or hang up before going on.
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) > 0) {
            char reply[8];
            (void)!recv(fd, reply, sizeof reply, 0);
        }
    }
    close(fd);
    return sent;
}

std::string driveDisplayName(const Drive& drive) {
    const std::string suffix = std::string(" (") + drive.letter + ":)";
    if (drive.mediaPresent && !drive.label.empty()) return drive.label + suffix;
    return driveTypeText(drive.type) + suffix;
}

HostPlatform& hostPlatform() {
    static HostPlatform instance;
    return instance;
}

}  // namespace kv

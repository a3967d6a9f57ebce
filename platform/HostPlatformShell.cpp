// HostPlatform: the shell (opening a document or a program, display names,
// the per-user shell folders, shortcuts) and the companion programs' windows
// (a per-user local socket named after the window class).

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/HostFile.h"
#include "platform/HostNames.h"
#include "platform/HostPaths.h"
#include "platform/HostPlatform.h"
#include "text/Text.h"

namespace kv {

using hostpath::baseName;
using hostpath::joinHost;
using hostpath::parentOf;
using hostpath::rootLetter;
using hostpath::statFollow;
using hostpath::withBackslash;

namespace {

std::string homeFolder() {
    if (const char* home = getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string configFolder() {
    if (const char* xdg = getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    return joinHost(homeFolder(), ".config");
}

std::string cacheFolder() {
    if (const char* xdg = getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return xdg;
    return joinHost(homeFolder(), ".cache");
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

}  // namespace

std::string windowClassSocketName(const std::string& className) {
    return "korvelt-" + std::to_string(getuid()) + "-" + className;
}

int HostPlatform::openDocument(const std::string& file, const std::string& folder) {
    std::string windowsFile = file;
    if (!parseWindowsPath(file) && !folder.empty()) windowsFile = withBackslash(folder) + file;
    std::optional<std::string> hostFolder;
    if (!folder.empty()) {
        hostFolder = toHost(folder);
        struct stat st;
        if (!hostFolder || stat(hostFolder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return launch::PathNotFound;
    }
    const auto host = toHost(windowsFile);
    struct stat st;
    if (!host) return launch::PathNotFound;
    if (stat(host->c_str(), &st) != 0) {
        struct stat parent;
        return stat(parentOf(*host).c_str(), &parent) == 0 ? launch::FileNotFound
                                                           : launch::PathNotFound;
    }
    const std::string cwd = hostFolder ? *hostFolder : parentOf(*host);
    if (isExecutableFile(*host))
        return spawnDetached({*host}, cwd) == 0 ? launch::Opened : launch::CannotStart;
    std::string opener;
    if (const char* custom = getenv("KORVELT_OPENER"); custom && *custom) {
        opener = custom[0] == '/' ? std::string(custom) : findInPath(custom);
    } else {
        opener = findInPath("xdg-open");
    }
    if (opener.empty()) return launch::NoAssociation;
    return spawnDetached({opener, *host}, cwd) == 0 ? launch::Opened : launch::NoAssociation;
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
    else if (text::equalNoCase(valueName, "Local AppData"))
        host = cacheFolder();
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

}  // namespace kv

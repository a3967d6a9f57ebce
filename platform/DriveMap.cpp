#include "platform/DriveMap.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>

namespace kv::drivemap {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(sep, start);
        if (at == std::string_view::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, at - start));
        start = at + 1;
    }
}

bool lowerEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<uint32_t> parseSerial(std::string_view text) {
    std::string digits;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    for (char c : text) {
        if (c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits += c;
    }
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

std::string normalizeRoot(std::string_view root) {
    std::string r(root);
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
}

// Mount-table fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view oct = field.substr(i + 1, 3);
            if (oct.size() == 3 &&
                std::all_of(oct.begin(), oct.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(((oct[0] - '0') << 6) | ((oct[1] - '0') << 3) |
                                         (oct[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The sysfs name of the whole disk behind a block device ("sdb1" -> "sdb").
std::string diskOf(const std::string& device) {
    char resolved[PATH_MAX];
    if (!realpath(device.c_str(), resolved)) return {};
    std::string dev = resolved;
    if (dev.rfind("/dev/", 0) != 0) return {};
    std::string name = dev.substr(5);
    if (name.find('/') != std::string::npos) return {};
    struct stat st;
    const std::string sysPath = "/sys/class/block/" + name;
    if (stat((sysPath + "/partition").c_str(), &st) == 0) {
        char link[PATH_MAX];
        if (realpath(sysPath.c_str(), link)) {
            std::string parent = link;
            parent = parent.substr(0, parent.rfind('/'));
            return parent.substr(parent.rfind('/') + 1);
        }
    }
    return name;
}

// Labels in /dev/disk/by-label are escaped as \xNN.
std::string unescapeLabel(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::strtoul(name.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace

const char* typeName(DriveType type) {
    switch (type) {
        case DriveType::Unknown:
            return "unknown";
        case DriveType::NoRootDir:
            return "noroot";
        case DriveType::Removable:
            return "removable";
        case DriveType::Fixed:
            return "fixed";
        case DriveType::Remote:
            return "remote";
        case DriveType::CdRom:
            return "cdrom";
        case DriveType::RamDisk:
            return "ramdisk";
    }
    return "unknown";
}

std::optional<DriveType> typeFromName(std::string_view name) {
    for (int t = 0; t <= 6; ++t) {
        if (lowerEquals(name, typeName(static_cast<DriveType>(t))))
            return static_cast<DriveType>(t);
    }
    return std::nullopt;
}

std::vector<Drive> parseDriveList(std::string_view list, std::vector<std::string>* errors) {
    std::vector<Drive> drives;
    auto fail = [&](std::string_view entry, const std::string& why) {
        if (errors) errors->push_back("KORVELT_DRIVES: \"" + std::string(entry) + "\": " + why);
    };
    for (std::string_view entry : split(list, ';')) {
        entry = trim(entry);
        if (entry.empty()) continue;
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            fail(entry, "expected LETTER=HOSTROOT");
            continue;
        }
        std::string_view letter = trim(entry.substr(0, eq));
        if (letter.size() == 2 && letter[1] == ':') letter.remove_suffix(1);
        if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) {
            fail(entry, "the drive must be one letter A to Z");
            continue;
        }
        const auto fields = split(entry.substr(eq + 1), ':');
        Drive d;
        d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        const std::string_view root = trim(fields[0]);
        if (root.empty() || root[0] != '/') {
            fail(entry, "the host root must be an absolute path");
            continue;
        }
        d.hostRoot = normalizeRoot(root);
        bool ok = true;
        bool serialGiven = false;
        if (fields.size() > 1 && !trim(fields[1]).empty()) {
            const auto type = typeFromName(trim(fields[1]));
            if (!type) {
                fail(entry, "unknown drive type \"" + std::string(trim(fields[1])) + "\"");
                ok = false;
            } else {
                d.type = *type;
            }
        }
        if (fields.size() > 2) d.label = std::string(trim(fields[2]));
        if (fields.size() > 3 && !trim(fields[3]).empty()) {
            const auto serial = parseSerial(trim(fields[3]));
            if (!serial) {
                fail(entry, "the serial must be up to 8 hexadecimal digits");
                ok = false;
            } else {
                d.serial = *serial;
                serialGiven = true;
            }
        }
        if (fields.size() > 4) {
            const std::string_view flag = trim(fields[4]);
            if (lowerEquals(flag, "nomedia")) {
                d.mediaPresent = false;
            } else if (!flag.empty()) {
                fail(entry, "unknown flag \"" + std::string(flag) + "\"");
                ok = false;
            }
        }
        if (fields.size() > 5) {
            fail(entry, "too many fields");
            ok = false;
        }
        if (!ok) continue;
        if (!serialGiven) d.serial = hostSerial(d.hostRoot);
        std::erase_if(drives, [&](const Drive& other) { return other.letter == d.letter; });
        drives.push_back(d);
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return drives;
}

std::vector<MountEntry> parseMounts(std::string_view text) {
    std::vector<MountEntry> mounts;
    for (std::string_view line : split(text, '\n')) {
        std::vector<std::string_view> fields;
        for (std::string_view f : split(line, ' ')) {
            if (!f.empty()) fields.push_back(f);
        }
        if (fields.size() < 3) continue;
        mounts.push_back({unescapeMountField(fields[0]), unescapeMountField(fields[1]),
                          unescapeMountField(fields[2])});
    }
    return mounts;
}

std::optional<DriveType> mountType(const MountEntry& entry, bool removable) {
    static const std::set<std::string> cdrom = {"iso9660", "udf"};
    static const std::set<std::string> remote = {"nfs",   "nfs4",  "cifs",       "smb3",
                                                 "smbfs", "sshfs", "fuse.sshfs", "9p",
                                                 "afs",   "ceph",  "glusterfs",  "fuse.rclone"};
    if (cdrom.count(entry.fsType)) return DriveType::CdRom;
    if (remote.count(entry.fsType)) return DriveType::Remote;
    if (removable && entry.device.rfind("/dev/", 0) == 0) return DriveType::Removable;
    return std::nullopt;
}

bool isKernelFileSystem(std::string_view fsType) {
    static const std::set<std::string, std::less<>> kernel = {
        "proc",    "sysfs",       "devtmpfs", "devpts",     "cgroup", "cgroup2",  "debugfs",
        "tracefs", "securityfs",  "configfs", "pstore",     "bpf",    "mqueue",   "hugetlbfs",
        "fusectl", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",   "selinuxfs"};
    return kernel.count(fsType) != 0;
}

HostProbe realProbe() {
    HostProbe probe;
    probe.isRemovable = [](const std::string& device) {
        const std::string disk = diskOf(device);
        if (disk.empty()) return false;
        std::ifstream in("/sys/block/" + disk + "/removable");
        int flag = 0;
        return static_cast<bool>(in >> flag) && flag == 1;
    };
    probe.label = [](const std::string& device) -> std::string {
        char target[PATH_MAX];
        if (!realpath(device.c_str(), target)) return {};
        DIR* dir = opendir("/dev/disk/by-label");
        if (!dir) return {};
        std::string label;
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            char resolved[PATH_MAX];
            const std::string link = std::string("/dev/disk/by-label/") + e->d_name;
            if (realpath(link.c_str(), resolved) && std::string(resolved) == target) {
                label = unescapeLabel(e->d_name);
                break;
            }
        }
        closedir(dir);
        return label;
    };
    probe.serial = [](const std::string& root) { return hostSerial(root); };
    return probe;
}

std::vector<Drive> fromMounts(const std::vector<MountEntry>& mounts, const HostProbe& probe) {
    std::vector<Drive> drives;
    Drive c;
    c.letter = 'C';
    c.hostRoot = "/";
    c.type = DriveType::Fixed;
    c.serial = probe.serial ? probe.serial("/") : 0;
    drives.push_back(c);
    char next = 'D';
    for (const MountEntry& m : mounts) {
        if (next > 'Z') break;
        if (m.mountPoint.empty() || m.mountPoint[0] != '/' || m.mountPoint == "/") continue;
        const std::string root = normalizeRoot(m.mountPoint);
        if (std::any_of(drives.begin(), drives.end(),
                        [&](const Drive& d) { return d.hostRoot == root; }))
            continue;
        const bool removable =
            m.device.rfind("/dev/", 0) == 0 && probe.isRemovable && probe.isRemovable(m.device);
        const auto type = mountType(m, removable);
        if (!type) continue;
        Drive d;
        d.letter = next++;
        d.hostRoot = root;
        d.type = *type;
        if (m.device.rfind("/dev/", 0) == 0 && probe.label) d.label = probe.label(m.device);
        d.serial = probe.serial ? probe.serial(root) : 0;
        drives.push_back(d);
    }
    return drives;
}

uint32_t hostSerial(const std::string& hostPath) {
    struct statvfs vfs;
    if (statvfs(hostPath.c_str(), &vfs) == 0 && vfs.f_fsid != 0) {
        const auto id = static_cast<unsigned long long>(vfs.f_fsid);
        return static_cast<uint32_t>(id ^ (id >> 32));
    }
    struct stat st;
    if (stat(hostPath.c_str(), &st) == 0) {
        const auto dev = static_cast<unsigned long long>(st.st_dev);
        return static_cast<uint32_t>(dev ^ (dev >> 32)) ^ 0x4B560000u;
    }
    return 0;
}

}  // namespace kv::drivemap

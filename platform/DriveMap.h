#pragma once
// Building the drive map: from the KORVELT_DRIVES text, or from the host's
// mount table (C: is "/", each removable, optical or network file system gets
// the next free letter from D:). Pure functions over text so that tests can
// feed them any table; the host implementation calls them.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kv::drivemap {

// Parses a KORVELT_DRIVES value:
//   entry[;entry...]   entry = LETTER=HOSTROOT[:TYPE[:LABEL[:SERIAL[:nomedia]]]]
// TYPE is one of unknown, noroot, removable, fixed, remote, cdrom, ramdisk
// (default fixed); SERIAL is hexadecimal ("1A2B3C4D", "0x1A2B3C4D" or
// "1A2B-3C4D"); when it is absent or empty the serial is derived from the
// host file system that holds the root. "nomedia" marks a drive whose medium
// is missing. Blanks around fields are ignored. Malformed entries are left
// out and described in errors (when given); a later entry for the same
// letter replaces the earlier one. The result is sorted by letter.
std::vector<Drive> parseDriveList(std::string_view list,
                                  std::vector<std::string>* errors = nullptr);

// The name KORVELT_DRIVES uses for a drive type ("removable", ...).
const char* typeName(DriveType type);
std::optional<DriveType> typeFromName(std::string_view name);

// One line of /proc/self/mounts, unescaped (\040 and friends).
struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string fsType;
};
std::vector<MountEntry> parseMounts(std::string_view mountsText);

// The type a mounted file system gets, or nullopt for a local fixed one that
// stays reachable through C:. removable says whether the block device behind
// it is removable.
std::optional<DriveType> mountType(const MountEntry& entry, bool removable);

// True for the file systems the kernel makes up from its own state (proc,
// sysfs, devtmpfs, cgroup, debugfs, ...): nothing of the user's is there, and
// their folders can be endless (proc's links lead back into it).
bool isKernelFileSystem(std::string_view fsType);

// Host lookups the automatic map needs, replaceable in tests.
struct HostProbe {
    std::function<bool(const std::string& device)> isRemovable;
    std::function<std::string(const std::string& device)> label;
    std::function<uint32_t(const std::string& hostRoot)> serial;
};
HostProbe realProbe();

// The automatic map: C: = "/" fixed, then one letter per removable, optical or
// network mount in table order (a mount point mounted again keeps its first
// letter; pseudo file systems are never given one), up to Z:.
std::vector<Drive> fromMounts(const std::vector<MountEntry>& mounts, const HostProbe& probe);

// A stable 32-bit serial for the host file system holding hostPath (from
// statvfs's file-system id, else the device number); 0 when it cannot be read.
uint32_t hostSerial(const std::string& hostPath);

}  // namespace kv::drivemap

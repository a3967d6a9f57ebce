#pragma once
// Path and drive helpers: the directory tree builds its nodes with them, and
// the engine and the windows take paths apart with them.
//
// Paths are Windows paths (drive letter, colon, backslashes) in UTF-8. The
// pure string functions come first; the name lookups ask the platform
// layer and never fail: when the disk or the shell has no answer, the name is
// taken from the text of the path. Nothing here throws.

#include <cstdint>
#include <string>

namespace kv {

// The number of backslash characters in the path.
int CountBackslashes(const std::string& path);

// The prefix of the path up to and including its n-th backslash; the whole path
// when it has fewer than n. n below 1 gives an empty string.
// PathToLevel("c:\a\b\", 2) == "c:\a\"; PathToLevel("c:\a", 5) == "c:\a".
std::string PathToLevel(const std::string& path, int n);

// Appends a backslash in place unless the path is empty or already ends in one.
// Returns the path, so that it can be used in an expression.
std::string& AddBackslash(std::string& path);

// The same on a copy: WithBackslash("c:\a") == "c:\a\", WithBackslash("") == "".
std::string WithBackslash(std::string path);

// The last component of a path: what follows its last backslash, the whole
// path when it has none. FileNameOf("c:\a\b.txt") == "b.txt".
std::string FileNameOf(const std::string& path);

// The folder part of a path, up to and including its last backslash; "" when
// it has none. FolderOf("c:\a\b.txt") == "c:\a\".
std::string FolderOf(const std::string& path);

// The path without its last character when that is a backslash, else unchanged.
// RemoveBackslash("c:\") == "c:".
std::string RemoveBackslash(const std::string& path);

// The last component of RemoveBackslash(path) as the disk spells it, followed by
// a backslash. When no entry is found, the component as the path spells it.
std::string OnDiskName(const std::string& path);

// Like OnDiskName, but the name is the shell's display name of
// RemoveBackslash(path) when the shell gives one.
std::string ShellDisplayName(const std::string& path);

// Rebuilds a full path from the names on disk (or the shell's display names):
// the drive letter upper-cased, then each level's OnDiskName (or
// ShellDisplayName), with no final backslash. "c:\" gives "C:"; a path with no
// backslash gives itself with its first character upper-cased.
std::string NormalizePathCase(const std::string& path, bool useDisplayNames);

// The caption of a drive node and the volume's serial number.
struct DriveCaption {
    std::string
        text;  // "LABEL (D:)"; " (D:)" without a label; "(D:)" when the volume can't be read
    int64_t serial = -1;  // the 32-bit volume serial, -1 when the volume can't be read
};

// The text shown for a drive and its serial. For a removable or network drive
// the text is the shell's display name of its root instead (empty when the
// shell has none); the serial is the volume's all the same.
DriveCaption DriveLabel(char letter);

// The serial number DriveLabel gives: the volume serial, -1 when it can't be read.
int64_t DriveSerial(char letter);

}  // namespace kv

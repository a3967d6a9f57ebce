#pragma once
// File routines the engine and the dialogs share: the default Work folder, the
// free-space check before an archive is copied, copying and sizing files, and
// the folder and CD-ROM tests. Paths are Windows paths through platform().
//
// Only CopyFileContents throws (kv::Error); the others answer false, 0 or an
// empty string when the disk has no answer.

#include <cstdint>
#include <string>

namespace kv {

// The system's temporary folder, ending in a backslash.
std::string DefaultWorkFolder();

// True when the destination's drive has room for a copy of the source: the
// source's size + 100 bytes is less than the free bytes there (equal is no
// room; a drive that can't be queried has no room). The size comes from a
// find on the source with the files-only mask (0 when nothing is found). A
// destination that starts with an upper-case letter A to Z is measured on that
// drive (on the file system that holds the destination when it is a full drive
// path); any other first character (a lower-case letter, "\\server\...") is
// measured on the current drive.
bool HasRoomForCopy(const std::string& source, const std::string& destination);

// The free bytes of the drive a path names by the rule of HasRoomForCopy (the
// first character when it is an upper-case letter A to Z, else the current
// drive; the file system that holds the path when it is a full drive path);
// -1 when the drive can't be queried.
int64_t DriveFreeBytes(const std::string& path);

// Copies the whole source into the destination: a temporary beside it is
// written and put in its place (TempFile::renameTo: flushed, renamed, with the
// permissions of the file it replaces). Throws kv::Error, after closing both
// files, when the source can't be opened, the destination is read-only or no
// file can be made beside it, a read or write fails, or the copy can't be put
// in place; an existing destination is then as it was and nothing is left
// behind. A destination that is the source itself is refused before anything
// is written. A link at the destination is replaced, not followed.
void CopyFileContents(const std::string& source, const std::string& destination);

// True when both paths lead to the same host file once the drive map has
// turned them into host paths (another spelling, another drive letter over the
// same folder, a link): the same file is never both source and destination.
bool IsSameFile(const std::string& a, const std::string& b);

// The size of the file in bytes (64-bit: files pass 2 GiB here); 0 when no
// file is found (a folder is not found).
int64_t FileSizeOf(const std::string& path);

// True when the path names an existing folder. False for anything that ends in
// a backslash (a bare drive root "C:\" included): pass folders without it.
bool IsDirectory(const std::string& path);

// True when the root path ("D:\") is a CD-ROM drive.
bool IsCdRomDrive(const std::string& rootPath);

}  // namespace kv

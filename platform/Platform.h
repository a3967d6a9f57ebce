#pragma once
// The host stand-in layer: gives Windows drive-letter paths ("C:\Docs\a.doc",
// case-insensitive, backslash separators) a meaning on this POSIX host, and
// answers the Win32-style questions the program asks (attributes, find-first,
// MS-DOS times, free space, drive types, volume labels and serials, ...).
//
// Every path argument and result here is a Windows path in UTF-8 unless the
// name says "host". Nothing here throws: failures come back as false, nullptr,
// -1, an empty string or std::nullopt, as each call says.
//
// platform() is the process-wide instance: the host implementation unless a
// test has installed another with setPlatform().

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// File attribute bits, as Win32 numbers them.
namespace attr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t VolumeId = 0x08;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t AnyFile = 0x3F;    // the any-file find mask (63)
constexpr uint32_t FilesOnly = 0x27;  // read-only, hidden, system, archive (39)
constexpr uint32_t Invalid = 0xFFFFFFFF;
// Clears read-only, hidden and system (attributes AND 0xFFF8): what a file is
// given before it is replaced or read for storing.
constexpr uint32_t KeepWritable = 0xFFF8;
}  // namespace attr

// The answers of openDocument, with ShellExecute's values: above LastFailure
// the document was opened; at or below, the failure (LaunchErrorText says
// which have a message).
namespace launch {
constexpr int OutOfMemory = 0;
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int NotEnoughMemory = 8;
constexpr int CannotStart = 11;
constexpr int AccessViolation = 26;
constexpr int NoExtension = 27;
constexpr int DdeTimeout = 28;
constexpr int DdeFailed = 29;
constexpr int DdeBusy = 30;
constexpr int NoAssociation = 31;
constexpr int DdeRefused = 32;
constexpr int LastFailure = 32;
constexpr int Opened = 42;  // what this host answers on success
}  // namespace launch

// Drive types with the values of GetDriveType.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6
};

struct Drive {
    char letter = 'C';     // upper case
    std::string hostRoot;  // host directory the root maps to ("/" for C:)
    DriveType type = DriveType::Fixed;
    std::string label;         // volume label, may be empty
    uint32_t serial = 0;       // volume serial number
    bool mediaPresent = true;  // false: a removable/CD drive with no medium (volume queries fail)
};

// One directory entry as find-first/find-next give it.
struct FindEntry {
    std::string name;  // file name without folder, as the disk spells it
    uint32_t attributes = 0;
    int64_t size = 0;         // 64-bit size
    int32_t dosDateTime = 0;  // last write, MS-DOS form, local time
    bool special = false;     // a named pipe, socket or device: never opened as a file
    bool link = false;        // a symbolic link: the values above are those of what it
                              // points to (of the link itself when it leads nowhere)
};

// What one path leads to, links followed, as one query of the host gives it.
struct PathInfo {
    enum class Kind {
        Missing,  // nothing there (or no drive holds the path)
        Denied,   // a folder on the way may not be searched: what is there cannot be known
        File,     // a regular file
        Folder,
        Other,  // a pipe, socket or device
    };
    Kind kind = Kind::Missing;
    uint64_t device = 0;  // with inode: the same pair is the same file or folder
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t lastWriteNs = 0;  // last write, nanoseconds since 1970 (UTC)
    int64_t changeNs = 0;     // last status change (the bytes, the times, the permissions,
                              // the attributes or a name), nanoseconds since 1970 (UTC)
    bool listable = false;    // a folder whose entries may be listed and looked at
    bool kernel = false;      // on a file system of the kernel's own (proc, sysfs,
                              // devtmpfs, ...), whose folders are never walked
};

// Why a file cannot be opened for reading, for a message that tells the user.
enum class ReadRefusal {
    None,          // nothing known keeps it from being opened
    Missing,       // nothing is at the path
    SpecialFile,   // a named pipe, socket, device or folder: never opened as a file
    AccessDenied,  // the user may not read it
    InUse,         // another program holds it
};

// Advisory locks on an open file (see File::lock).
enum class LockKind {
    Shared,     // many holders at once: "this file is in use" (temporaries)
    Exclusive,  // one holder: "I alone may write this" (an archive's writer)
};

// An open file. Reads and writes are unbuffered calls on the host file; the
// caller buffers (the compression stream uses 16384-byte blocks).
class File {
  public:
    virtual ~File() = default;
    // Bytes read (0 at end of file), or -1 on a read error.
    virtual int64_t read(void* buffer, int64_t count) = 0;
    // True when all count bytes were written (false on a short write or error: disk full).
    [[nodiscard]] virtual bool write(const void* buffer, int64_t count) = 0;
    virtual bool seek(int64_t position) = 0;
    virtual int64_t position() = 0;
    virtual int64_t size() = 0;  // current size, -1 on error
    // Reads at position, as seek then read would. A file whose
    // readsAtConcurrently() is true does so without using or moving its own
    // position, so several threads may call it at once; others seek.
    virtual int64_t readAt(int64_t position, void* buffer, int64_t count) {
        return seek(position) ? read(buffer, count) : -1;
    }
    virtual bool readsAtConcurrently() const { return false; }
    // Appends count bytes of source, read from its position `from` on, at
    // this file's current position. Between two host files the kernel copies
    // them (copy_file_range: nothing passes through the program, and a file
    // system that can shares the blocks); anything else, or a kernel that
    // refuses, goes block by block through source.readAt and write. False on
    // a read error, a source that ends first, or a failed write: what was
    // appended is then to be thrown away.
    virtual bool appendFrom(File& source, int64_t from, int64_t count);
    // Cuts the file to size bytes (it must not be longer) and puts the
    // position there; false when the file cannot be cut.
    [[nodiscard]] virtual bool truncate(int64_t /*size*/) { return false; }
    // Flushes and closes; false when the host reported an error. Idempotent.
    virtual bool close() = 0;
    // Takes an advisory lock without waiting. It is held until the file is
    // closed or the process ends (however it ends: a killed program leaves no
    // stale lock). Other programs are not kept from the file; only other
    // lock() calls see it. False when another open file (in this process or
    // another) holds a lock that conflicts, or when the name the file was
    // opened under no longer leads to it (removed or replaced meanwhile): a
    // lock on it would guard nothing. Files that are not host files (in
    // memory, inside another file) cannot be locked and answer false.
    virtual bool lock(LockKind /*kind*/) { return false; }
    // Through the handle: the last write time (MS-DOS form, local time), the
    // host permission bits (07777), and a flush of the file's data to the
    // disk (fdatasync). False when the file cannot do it; a file that is not
    // on a disk has nothing to flush and answers true.
    virtual bool setLastWriteDos(int32_t /*dosDateTime*/) { return false; }
    virtual bool setPermissions(uint32_t /*permissions*/) { return false; }
    [[nodiscard]] virtual bool flush() { return true; }
    // Starts writing count bytes from `from` on to the disk without waiting
    // for them, so that a flush to come finds less to write; a hint that
    // may be ignored.
    virtual void startWriteback(int64_t /*from*/, int64_t /*count*/) {}
    // What the host says of the open file itself (its kind, identity, size
    // and times, as pathInfo gives them for a path); Missing for a file that
    // is not a host file.
    virtual PathInfo info() { return {}; }
    // What info() gave as the file was opened: for a caller that only looks
    // at the file it has just opened (the open asked already).
    virtual PathInfo openedInfo() { return info(); }
};

// One entry of a held folder as the folder itself records it: a link is
// reported as a link, never as what it points to.
struct FolderEntry {
    enum class Kind { File, Folder, Link, Other };
    std::string name;  // the disk's spelling, as a Windows name
    Kind kind = Kind::Other;
    int32_t dosDateTime = 0;   // last write, MS-DOS form (a link's own)
    uint32_t permissions = 0;  // host permission bits (07777)
    uint64_t device = 0;       // device and inode: the file's identity
    uint64_t inode = 0;
};

// A folder held open by its handle. Every name given to it is one component
// (no separator, not "." or "..") and is resolved in this very folder,
// whatever happens meanwhile to the path it was reached by. Nothing here
// follows a link, except openFolder when it is asked to follow one of the
// user's own. Failures are false, nullptr or nullopt.
class Folder {
  public:
    virtual ~Folder() = default;
    // The Windows path it was reached by, ending in a backslash.
    virtual const std::string& path() const = 0;
    // The entry spelled name, else the first (in byte order) whose name
    // equals it without regard to case.
    virtual std::optional<FolderEntry> lookup(const std::string& name) = 0;
    // Opens the subfolder spelled name. A link there is refused unless
    // followOwnLink is set and the link belongs to the user who runs the
    // program or to the system (root): then it is followed.
    virtual std::unique_ptr<Folder> openFolder(const std::string& name, bool followOwnLink) = 0;
    // Creates the subfolder name (0777 less the umask); false when anything has the name.
    virtual bool createFolder(const std::string& name) = 0;
    // Creates the file name, read and write, mode 0600; fails when anything,
    // a link included, has the name.
    virtual std::unique_ptr<File> createFile(const std::string& name) = 0;
    // Renames within the folder. With replace, an existing file `to` is
    // replaced in one step; without, the rename fails when anything has that name.
    virtual bool rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool removeFile(const std::string& name) = 0;
    // Writes the folder's own entries through to the disk (after renames into it).
    virtual bool flush() = 0;
};

enum class OpenMode {
    Read,           // existing file, read only, shared with other programs
    Create,         // create or truncate, write only
    ReadWrite,      // existing file, read and write in place (the header update)
    CreateNew,      // a file that does not exist yet, created exclusively (fails when
                    // any file or folder has the name), read and write
    CreatePrivate,  // as CreateNew, but only this user may read or write it (0600):
                    // the program's temporaries and lock files
    ReadWriteOwn,   // an existing file, read and write, never truncated and never
                    // through a symbolic link; only a regular file that belongs to
                    // this user and has no other name (one link), else nullptr
};

class Platform {
  public:
    virtual ~Platform() = default;

    // ----- Drive map and path conversion -----
    // The drives that exist, in letter order.
    virtual std::vector<Drive> drives() = 0;
    virtual std::optional<Drive> drive(char letter) = 0;
    // Windows -> host: drive root, then each component (exact spelling, else the
    // first case-insensitive match in sorted order; a missing tail keeps the
    // spelling given). nullopt when the drive does not exist or the path is not
    // a drive path.
    virtual std::optional<std::string> toHost(const std::string& windowsPath) = 0;
    // Host -> Windows: the drive whose root is the longest prefix, then the rest
    // with '/' turned into '\'. A component that is not valid UTF-8 has each
    // stray byte b written as the character U+F700 + b (U+F780..U+F7FF), which
    // toHost turns back into that byte (platform/HostNames.h). nullopt when no
    // drive holds it, or a component cannot be written as a Windows name (it
    // holds a backslash, or one of those characters of its own).
    virtual std::optional<std::string> toWindows(const std::string& hostPath) = 0;
    // The path as the disk spells it: the drive letter upper-cased, each
    // component that exists spelled as its folder lists it (toHost's
    // case-insensitive lookup, turned back into Windows names), "." and ".."
    // resolved, a final backslash kept; a missing tail keeps the spelling
    // given. What enters the catalog goes through here, so that a stored path
    // names the folders that exist and not an upper-cased copy of them. A path
    // that has no host path (no such drive, not a drive path) comes back as
    // it was given.
    std::string trueCase(const std::string& windowsPath);

    // ----- Files and folders -----
    // nullptr on failure. Read and ReadWrite open regular files only: a named
    // pipe, socket or device is refused without being opened.
    virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
    // Why open(path, Read) fails or would fail; None when the file can be
    // opened, or the cause is none of those named (a read error, say).
    virtual ReadRefusal readRefusal(const std::string& path) = 0;
    virtual uint32_t attributes(const std::string& path) = 0;  // attr::Invalid when absent
    virtual bool setAttributes(const std::string& path, uint32_t attributes) = 0;
    // FindFirstFile/FindNextFile over a pattern whose last component may hold
    // Windows wildcards (* and ?, case-insensitive, "*.*" matches every name),
    // filtered as the classic find-first does: entries whose hidden, system or
    // folder bits are not in mask are skipped. "." and ".." are never listed.
    // Entries come in case-insensitive name order. Empty when nothing matches.
    // Names that cannot be written as Windows names (see toWindows) are left
    // out; when unwritable is given, the host names of those that match are
    // added to it, so that a caller can say what it did not see.
    virtual std::vector<FindEntry> find(const std::string& pattern, uint32_t mask,
                                        std::vector<std::string>* unwritable) = 0;
    std::vector<FindEntry> find(const std::string& pattern, uint32_t mask) {
        return find(pattern, mask, nullptr);
    }
    virtual bool fileExists(const std::string& path) = 0;  // a file, not a folder
    virtual PathInfo pathInfo(const std::string& path) = 0;
    virtual bool directoryExists(const std::string& path) = 0;
    virtual bool createDirectory(const std::string& path) = 0;  // one level
    virtual bool removeDirectory(const std::string& path) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // Renames, replacing an existing destination atomically (same file system).
    virtual bool renameFile(const std::string& from, const std::string& to) = 0;
    // Puts from (a file the program has written and closed) in place of to
    // for good: from's data is flushed to the disk, it is renamed over to in
    // one step (same file system), it takes the permissions of the file it
    // replaced (its mode, and its owner and group where this process may give
    // them) or, when to named no regular file, those of a new file (0666 less
    // the umask), and the folder's entries are flushed. False when the flush
    // or the rename failed: to is as it was. A link at to is replaced, never
    // followed (callers that mean the file it leads to ask linkedFile first).
    // The permissions are those of permissionsOf, to itself or the file that
    // stepped aside from to's name before.
    virtual bool replaceFile(const std::string& from, const std::string& to,
                             const std::string& permissionsOf) = 0;
    // The file that writing path must replace: path itself unless its last
    // component is a symbolic link; then the file the link leads to (through
    // a chain of links), as a Windows path. nullopt when that link is not to
    // be followed: it leads to no regular file (dangling, a loop, a folder),
    // it belongs neither to this user nor to root, or no drive holds the file.
    virtual std::optional<std::string> linkedFile(const std::string& path) = 0;
    virtual std::optional<int32_t> lastWriteDos(const std::string& path) = 0;
    // The last write of a file (a folder does not count), nullopt when no file
    // is there: fileExists and lastWriteDos in one query, for callers that ask
    // it of many files (the catalog load asks it once per entry).
    virtual std::optional<int32_t> fileLastWriteDos(const std::string& path) {
        if (!fileExists(path)) return std::nullopt;
        return lastWriteDos(path);
    }
    virtual bool setLastWriteDos(const std::string& path, int32_t dosDateTime) = 0;
    virtual bool setExecutable(const std::string& path) = 0;
    // Holds an existing folder (links on the way to it are followed: the
    // caller trusts the path). nullptr when no folder is there.
    virtual std::unique_ptr<Folder> openFolder(const std::string& path) = 0;

    // ----- Volumes -----
    // Free bytes available to the user on the file system that holds the path
    // (its deepest existing folder); -1 when it cannot be queried.
    virtual int64_t freeBytes(const std::string& path) = 0;
    virtual DriveType driveType(const std::string& rootPath) = 0;  // NoRootDir for an unknown drive
    // Label and serial of the volume at rootPath ("D:\"); false when it cannot be read.
    virtual bool volumeInformation(const std::string& rootPath, std::string& label,
                                   uint32_t& serial) = 0;
    virtual uint32_t logicalDrives() = 0;  // bit 0 = A:
    virtual char currentDrive() = 0;       // upper-case letter
    // Incremented whenever a file system is mounted or unmounted (and when a
    // test changes the map); the GUI polls it or watches mountWatchHandle().
    virtual uint64_t mountGeneration() = 0;
    // A host descriptor that becomes readable-with-priority when the mount table
    // changes (for a socket notifier), or -1 when there is none.
    virtual int mountWatchHandle() = 0;

    // ----- Well-known folders -----
    virtual std::string tempFolder() = 0;     // ends in a backslash
    virtual std::string programFolder() = 0;  // ends in a backslash; KORVELT_HOME overrides

    // ----- Shell -----
    // Opens a document with its associated program or starts an executable,
    // with folder as working folder. ShellExecute-style result: above 32 is
    // success; 2 file not found, 3 path not found, 31 no association, ...
    virtual int openDocument(const std::string& file, const std::string& folder) = 0;
    // The shell's display name of a file, folder or drive root; empty when none.
    virtual std::string displayName(const std::string& path) = 0;
    // Per-user shell folder by its registry value name (case-insensitive):
    // "STARTUP", "Desktop", "Personal", ... Empty when unknown.
    virtual std::string shellFolder(const std::string& valueName) = 0;
    // Writes a shortcut file that starts the target program.
    virtual bool writeShortcut(const std::string& target, const std::string& shortcutPath) = 0;

    // ----- Companion programs' windows -----
    // True when a window of that class exists (a program listening on the
    // per-user socket named after the class).
    virtual bool findWindowClass(const std::string& className) = 0;
    // Asks that window to close; true when the request was delivered.
    virtual bool closeWindowClass(const std::string& className) = 0;
};

// The process-wide platform. setPlatform(nullptr) restores the host one; the
// caller keeps ownership of what it installs.
Platform& platform();
void setPlatform(Platform* replacement);

// The permission bits a new file of the user gets: 0666 less the umask.
uint32_t newFilePermissions();

// The host implementation's drive map, for tests and tools that set it in-process.
// Replaces the map read from KORVELT_DRIVES or the mount table.
void setHostDriveMap(std::vector<Drive> drives);
void resetHostDriveMap();

}  // namespace kv

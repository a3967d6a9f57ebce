#pragma once
// The files cache: what the last archiving run of an archive knew of the
// files it stored, so that the next update keeps the stored member of a file
// that has not changed without reading the file or inflating the member.
//
// One file per archive in the user's cache folder (the "Local AppData" shell
// folder + "korvelt\": $XDG_CACHE_HOME/korvelt/, by default ~/.cache/korvelt/),
// named after a hash of the archive's host path. It holds:
//   - the archive's host path, checked when it is read: two archives whose
//     paths hash alike never share a cache;
//   - the archive's stamp as the run left it (ArchiveStamp: device, inode,
//     size, last write): when the archive has another stamp now (another
//     program rewrote it, its comment was changed, a run replaced it and
//     could not write the cache), the cache is stale and not used at all;
//   - for each entry the run stored: its entry offset, the CRC-32 of its data,
//     and the file as it was when its data were read or proved equal
//     (FileIdentity: device, inode, size, last write and status change, to
//     the nanosecond);
//   - a CRC-32 of all the above: a damaged file is not used.
// It is written by a temporary beside it renamed over it, so a reader sees
// the old file or the new one whole. A cache that is absent, foreign,
// damaged, stale or another archive's is empty: the run then proves what it
// keeps, as without a cache. Losing the cache loses nothing but time.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

// A file as the host describes it: while all five values stay the same, its
// bytes are those they were. A change of the bytes moves the last write, or,
// when the last write is set back afterwards, the status change; a file
// saved by writing a new one and renaming it over the old gets a new inode.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t lastWriteNs = 0;
    int64_t changeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at path (links followed), or of the one
// the host described (File::info); nullopt when it is not a regular file.
std::optional<FileIdentity> identityOf(const std::string& path);
std::optional<FileIdentity> identityOf(const PathInfo& info);

// What the cache knows of one stored entry.
struct CachedEntry {
    int64_t offset = 0;  // the entry offset in the archive
    uint32_t crc = 0;    // the CRC-32 of the data, as the member's trailer holds it
    FileIdentity file;   // the file those data were read from
    bool operator==(const CachedEntry&) const = default;
};

class FilesCache {
  public:
    FilesCache() = default;

    // The cache file of an archive (a Windows path of the file itself, not of
    // a link to it); "" when the archive or the cache folder is on no drive.
    static std::string pathFor(const std::string& archive);

    // The cache of archive when it is sound, is archive's, and the archive
    // has the stamp it recorded; else an empty cache. Never throws.
    static FilesCache load(const std::string& archive);

    // Replaces the cache of archive with entries (in any order), recording
    // the archive's stamp as it is now. False when it could not be written:
    // the old cache file then stays, stale. Never throws.
    static bool save(const std::string& archive, const std::vector<CachedEntry>& entries);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    // What the cache knows of the entry at that offset; nullptr when nothing.
    const CachedEntry* at(int64_t offset) const;
    // True when the cache knows these entries (in any order) and no other:
    // writing them would record nothing new.
    bool knowsJust(const std::vector<CachedEntry>& entries) const;

  private:
    std::vector<CachedEntry> entries_;  // by offset
};

}  // namespace kv

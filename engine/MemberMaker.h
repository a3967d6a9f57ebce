#pragma once
// MemberMaker makes the payload of one catalog row's file: the part of the
// archiving run's StoreFile that does not touch the new archive, so that it can
// run on any thread, ahead of the row's turn (MemberPool). The run then
// appends what it made, in catalog order, on its own thread.
//
// A file whose size and last write are those of its stored entry is first
// compared with that entry: the stored member is inflated from the old archive
// and its data compared byte for byte with the file as it is read. When the
// member is sound (format::CheckEntry: header, deflate data, a trailer whose
// CRC-32 and length agree with the data, FileSize bytes) and equal to the file
// to its last byte, and the file did not move meanwhile, that member is the
// file's payload (Reused): the run copies it as it is. Any difference or doubt
// (another byte, another length, a damaged member, a read error) and the file
// is compressed (Made), as when nothing is stored. A member written with other
// deflate settings is reused all the same: only its data count.
//
// Compressing: the file is read with its read-only, hidden and system bits
// cleared and gets them back on every path; a file whose size or last write
// moved while it was read, or whose length read is not its size, is compressed
// once more, and when it moves again it is Unreadable. A named pipe, socket or
// device is never opened, nor are its attributes touched: it is Unreadable at
// once. Files of any size are made; the run picks the archive's record layout.
//
// A file whose data were read (Made or Reused) also gets the identity the
// files cache may keep for it (engine/FilesCache.h): the file as it was
// after its attributes were set back, when nothing could have changed its
// bytes unseen: its device, inode, size and last write did not move while it
// was read, its status change neither (unless the run cleared and set back
// its attributes itself), and its last write and status change were older
// than the run's start by more than the coarsest clock of a file system (a
// second change in the tick of the first leaves the times as they were).

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/ArchiveFormat.h"
#include "engine/FilesCache.h"
#include "engine/MemberCodec.h"
#include "engine/PayloadShelf.h"
#include "engine/SharedReader.h"
#include "engine/WorkPool.h"

namespace kv {

// What a file looks like on disk: while this stays the same, a payload read
// from it is the file.
struct FileSnapshot {
    int64_t size = 0;
    int32_t lastWrite = 0;  // MS-DOS form
    bool special = false;   // a named pipe, socket or device
    bool operator==(const FileSnapshot&) const = default;
};

// The file's size and last write; nullopt when no file is there.
std::optional<FileSnapshot> snapshotOf(const std::string& path);

// A row's entry in the old archive, as its record gives it.
struct StoredEntry {
    int64_t payloadStart = 0;
    int64_t compressedSize = 0;
    int64_t fileSize = 0;
    int32_t fileDate = 0;
    bool operator==(const StoredEntry&) const = default;
};

// What to make: the file, and the stored entry that may already hold it.
struct MemberRequest {
    std::string fullPath;
    std::optional<StoredEntry> stored;
    bool operator==(const MemberRequest&) const = default;
};

struct FileMember {
    enum class Outcome {
        Made,        // compressed: payload holds the member
        Reused,      // the stored entry's member is the file's: copy it from the old archive
        Unreadable,  // cannot be stored: cause says why
        Vanished,    // no file at the path
        Failed,      // no payload temporary can be made: error says so
        Stopped,     // the work was no longer wanted
    };
    // Why an Unreadable file could not be stored.
    enum class Cause {
        ReadError,     // a read of the file failed, or it could not be opened for no known cause
        AccessDenied,  // the user may not read it
        SpecialFile,   // a named pipe, socket or device: not read
        InUse,         // another program holds it
        Changed,       // it changed each time it was read
        WorkFolder,    // its member could not be written to the Work folder (a full disk)
    };
    Outcome outcome = Outcome::Stopped;
    Cause cause = Cause::ReadError;  // Unreadable
    PayloadShelf::Payload payload;   // Made
    StoredEntry source;              // Reused: where the member lies in the old archive
    uint32_t crc = 0;    // Made, Reused: the CRC-32 of the data, as the trailer holds it
    int64_t length = 0;  // Made, Reused: the length of the data (the file's size)
    FileSnapshot after;  // Made, Reused: the file as it was when read
    // Made, Reused: what the files cache may keep of the file (see above);
    // nullopt when a change could have gone unseen.
    std::optional<FileIdentity> identity;
    std::string error;       // Failed
    bool fromCache = false;  // Reused on the files cache's word, the file not read
    // Reused on the files cache's word: the file's full path as the disk
    // spells it, found where the file was looked at.
    std::string truePath;
    // Reused on the files cache's word: the stored record before the member,
    // when it was read in the same read as the member's trailer (a small
    // member), so that the run need not read it again to compare it.
    std::optional<format::RecordBuffer> storedRecord;
};

class MemberMaker {
  public:
    using Progress = MemberCodec::Progress;

    // Members are compressed into payload temporaries of workFolder, each
    // used again once its member is done with (PayloadShelf); stored
    // members are read through old (null when there is no old archive). old
    // must outlive the maker. runStartNs: when the run started (wall clock,
    // nanoseconds since 1970).
    MemberMaker(std::string workFolder, SharedReader* old, int64_t runStartNs);

    // Makes the member of request's file. progress, when set, gets the
    // percentages of the stored member's check and of the compression, as
    // MemberCodec reports them, on the calling thread. Once stop is
    // true the work ends at its next read with Stopped (its temporary removed).
    // Safe to call from several threads at once for different files. Never
    // throws.
    FileMember make(const MemberRequest& request, const std::atomic<bool>& stop,
                    const Progress& progress) const;

  private:
    FileMember makeMember(const MemberRequest& request, const std::atomic<bool>& stop,
                          const Progress& progress, bool& attributesCleared) const;
    bool sameAsStored(const std::string& path, const StoredEntry& stored, const Progress& progress,
                      const std::atomic<bool>& stop, uint32_t& crc) const;

    std::string workFolder_;
    std::shared_ptr<PayloadShelf> shelf_;
    SharedReader* old_;
    int64_t runStartNs_;
};

// The workers that make the members of the rows ahead of the row in hand.
using MemberPool = WorkPool<MemberRequest, FileMember>;

}  // namespace kv

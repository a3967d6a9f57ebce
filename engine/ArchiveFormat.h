#pragma once
// The archive file layout (.kvr): a 102-byte header, then for each stored file
// a 416-byte EntryRecord followed at once by CompressedSize payload bytes (one
// gzip member). No index, no count, no trailer. This module is the only code
// that knows the byte layout; every engine operation reads and writes through it.
//
// Header:  0 length 0x11, 1..17 "[File Korvelt V1]", 18 reserved, 19 comment
//          length (0..82), 20..101 comment text.
// Record:  0/1 FileName (100), 101/102 Folder (250), 352 FileDate, 356/357
//          TypeName (50), 407 pad, 408 FileSize, 412 CompressedSize. Integers
//          are little-endian signed 32-bit.
//
// Text fields are kept here as UTF-8; they are stored as Windows-1252 when every
// character fits, else as UTF-8 (text/Text.h), and cut to the field's width in
// stored bytes without splitting a character. Encoders zero every byte they do
// not fill; decoders ignore the bytes past a field's length.
//
// Nothing here throws: failures come back as false or std::nullopt.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace kv::format {

constexpr int64_t HeaderSize = 102;
constexpr int64_t RecordSize = 416;
constexpr int64_t FirstEntryOffset = HeaderSize;
constexpr std::size_t CommentWidth = 82;
constexpr std::size_t FileNameWidth = 100;
constexpr std::size_t FolderWidth = 250;
constexpr std::size_t TypeNameWidth = 50;
// Sizes are signed 32-bit in the record: a stored file stays below this.
constexpr int64_t MaxStoredSize = int64_t(1) << 31;
// Block size of every payload copy.
constexpr int64_t CopyBlockSize = 16384;

// Where the fields start: in the header, and in a record from its own start.
// A text field is its length byte, then its text area.
constexpr std::size_t ReservedAt = 18;
constexpr std::size_t CommentAt = 19;
constexpr std::size_t FileNameAt = 0;
constexpr std::size_t FolderAt = 101;
constexpr std::size_t FileDateAt = 352;
constexpr std::size_t TypeNameAt = 356;
constexpr std::size_t PadAt = 407;  // no meaning; writers need not zero it
constexpr std::size_t FileSizeAt = 408;
constexpr std::size_t CompressedSizeAt = 412;

extern const char* const
    IncompatibleMessage;  // "fichier non compatible avec cette version du programme"

using HeaderBlock = std::array<uint8_t, HeaderSize>;
using RecordBlock = std::array<uint8_t, RecordSize>;

struct Header {
    uint8_t reserved = 0;
    std::string comment;  // UTF-8
};

struct EntryRecord {
    std::string fileName;  // UTF-8
    std::string folder;    // UTF-8, drive, path and final backslash
    int32_t fileDate = 0;  // MS-DOS date and time
    std::string typeName;  // UTF-8
    int32_t fileSize = 0;
    int32_t compressedSize = 0;

    std::string fullPath() const { return folder + fileName; }
};

// True when the block starts with 0x11 and "[File Korvelt V1]".
bool CheckSignature(const HeaderBlock& block);

// Encoders cut each text to its field (see above) and zero the rest; the
// decoders clamp a length byte larger than its field to the field's width.
HeaderBlock encodeHeader(const Header& header);
Header decodeHeader(const HeaderBlock& block);
RecordBlock encodeRecord(const EntryRecord& record);

// A header block given a new comment in place: the signature and the
// comment's length byte and text are written; the reserved byte and the
// comment area past the new text keep what the block held (the header-only
// update changes no other byte of the file).
void rewriteHeaderComment(HeaderBlock& block, const std::string& comment);
EntryRecord decodeRecord(const RecordBlock& block);

// The little-endian 32-bit word at p (a gzip trailer's CRC-32 or length).
inline uint32_t littleEndian32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Reads up to count bytes, retrying short reads, until count bytes or the end
// of the file. Bytes read, or -1 on a read error.
int64_t readFully(File& file, void* buffer, int64_t count);

// Reads the first 102 bytes into a zero-filled block (a shorter file leaves the
// rest zero). False on a read error.
bool readHeaderBlock(File& file, HeaderBlock& block);

// Write the encoded header / record at the current position. False when the
// write fails (disk full).
bool writeHeader(File& file, const Header& header);
bool writeRecord(File& file, const EntryRecord& record);

// One step of the sequential walk over an open archive.
//
//   ArchiveWalker walk(file);          // positions at 102
//   while (auto entry = walk.next()) { ... walk.offset() ... }
//   if (walk.failed()) ...             // a read error ended the walk
//   if (walk.cutShort()) ...           // the file ends inside a record
//   if (!walk.damage().empty()) ...    // a record was damaged (see below)
//   walk.problem()                     // any of the three, in French; "" when none
//
// The walk ends at or past the end of the file, and at a record cut short by
// the end of the file (never a row of garbage). A record with a negative
// CompressedSize is returned (payloadFits says it is damaged) and ends the walk,
// since the next record cannot be found. A record whose payload runs past the
// end of the file is returned too, and is the last. Either is told by damage().
// next() leaves the file positioned at the entry's payload; the walker seeks
// past it on the following call, so the caller may read the payload in between.
class ArchiveWalker {
  public:
    explicit ArchiveWalker(File& file);
    std::optional<EntryRecord> next();
    int64_t offset() const { return offset_; }  // entry offset of the last record returned
    int64_t payloadStart() const { return offset_ + RecordSize; }
    int64_t fileSize() const { return fileSize_; }
    bool failed() const { return failed_; }
    bool cutShort() const { return cutShort_; }
    // "l'entrée < path > a une taille compressée négative" or "le contenu de
    // l'entrée < path > est coupé par la fin de l'archive"; "" when no record
    // returned so far was damaged.
    const std::string& damage() const { return damage_; }
    // What kept the walk from reading the whole archive, in French: "erreur
    // de lecture", "sa dernière entrée est coupée", or damage(); "" when none.
    std::string problem() const;

  private:
    File& file_;
    int64_t fileSize_;
    int64_t position_ = FirstEntryOffset;
    int64_t offset_ = 0;
    bool failed_ = false;
    bool cutShort_ = false;
    bool ended_ = false;
    std::string damage_;
};

// Direct access: reads the record at offset and accepts it only when its full
// path equals expectedFullPath case-insensitively. nullopt otherwise (also on a
// short read or a negative offset). Leaves the file positioned at the payload.
std::optional<EntryRecord> readRecordAt(File& file, int64_t offset,
                                        const std::string& expectedFullPath);

// True when the payload of a record whose payload starts at payloadStart lies
// wholly inside the file: CompressedSize is not negative and does not run past
// the end. Every payload copy checks this first; a false answer is a damaged
// entry. A CompressedSize of 0 fits: the payload is empty.
bool payloadFits(const EntryRecord& record, int64_t payloadStart, int64_t fileSize);

// Copies count bytes from the current position of source to the current
// position of destination in 16384-byte blocks. False on a read error, a
// source that ends first, or a failed write. A count of 0 copies nothing.
bool copyBytes(File& source, File& destination, int64_t count);

}  // namespace kv::format

#pragma once
// The archive file layout (.kvr): a 102-byte header, then for each stored file
// an EntryRecord (416 bytes in V1, 424 in V2) followed at once by
// CompressedSize payload bytes (one gzip member). No index, no count, no trailer. This module is
// the only code that knows the byte layout; every engine operation reads and writes through it.
//
// Header:  0 length 0x11, 1..17 "[File Korvelt V1]" or "[File Korvelt V2]",
//          18 reserved, 19 comment length (0..82), 20..101 comment text.
// Record:  0/1 FileName (100), 101/102 Folder (250), 352 FileDate, 356/357
//          TypeName (50), 407 pad, then the sizes. Integers are little-endian.
//          V1 (416 bytes): 408 FileSize, 412 CompressedSize, signed 32-bit.
//          V2 (424 bytes): 408 FileSize, 416 CompressedSize, signed 64-bit.
//
// The signature says which record layout every record of the file has. A V1
// record keeps every size below 2 GiB; the writers use V2 only for an archive
// that holds an entry V1 cannot (fitsV1), so an archive without a file of
// 2 GiB or more is written in V1, byte for byte as it always was, and any
// reader of V1 reads it.
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

// The record layout of an archive, named by its signature.
enum class Version { V1 = 1, V2 = 2 };

constexpr int64_t HeaderSize = 102;
constexpr int64_t RecordSize = 416;    // a V1 record
constexpr int64_t RecordSizeV2 = 424;  // a V2 record
constexpr int64_t recordSize(Version version) {
    return version == Version::V2 ? RecordSizeV2 : RecordSize;
}
constexpr int64_t FirstEntryOffset = HeaderSize;
constexpr std::size_t CommentWidth = 82;
constexpr std::size_t FileNameWidth = 100;
constexpr std::size_t FolderWidth = 250;
constexpr std::size_t TypeNameWidth = 50;
// The sizes of a V1 record are signed 32-bit: each stays below this.
constexpr int64_t V1SizeLimit = int64_t(1) << 31;
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
constexpr std::size_t CompressedSizeAt = 412;    // V1
constexpr std::size_t CompressedSizeAtV2 = 416;  // V2: after a 64-bit FileSize

extern const char* const
    IncompatibleMessage;  // "fichier non compatible avec cette version du programme"

using HeaderBlock = std::array<uint8_t, HeaderSize>;
using RecordBlock = std::array<uint8_t, RecordSize>;  // a V1 record
// Room for a record of either version, in its first recordSize(version) bytes.
using RecordBuffer = std::array<uint8_t, RecordSizeV2>;

struct Header {
    uint8_t reserved = 0;
    std::string comment;  // UTF-8
    Version version = Version::V1;
};

struct EntryRecord {
    std::string fileName;  // UTF-8
    std::string folder;    // UTF-8, drive, path and final backslash
    int32_t fileDate = 0;  // MS-DOS date and time
    std::string typeName;  // UTF-8
    int64_t fileSize = 0;
    int64_t compressedSize = 0;

    std::string fullPath() const { return folder + fileName; }
};

// The version whose signature the block starts with: 0x11 then "[File Korvelt
// V1]" or "[File Korvelt V2]"; nullopt for anything else.
std::optional<Version> signatureVersion(const HeaderBlock& block);
// True when the block starts with either signature: an archive of this format.
bool CheckSignature(const HeaderBlock& block);

// True when both sizes of the record fit the signed 32-bit words of a V1
// record (a negative size, which only a damaged record holds, fits down to
// -2^31, so that such a record is carried over as it was read).
bool fitsV1(const EntryRecord& record);

// Encoders cut each text to its field (see above) and zero the rest; the
// decoders clamp a length byte larger than its field to the field's width.
// encodeHeader writes the signature of header.version; decodeHeader gives V1
// for a block without a signature of ours.
HeaderBlock encodeHeader(const Header& header);
Header decodeHeader(const HeaderBlock& block);
// The record as V1 lays it out. Sizes that do not fit (fitsV1) keep their low
// 32 bits: the writers choose V2 for such a record.
RecordBlock encodeRecord(const EntryRecord& record);
// The record in the layout of version, in the first recordSize(version) bytes
// of the buffer (the rest zero).
RecordBuffer encodeRecord(const EntryRecord& record, Version version);

// A header block given a new comment in place: the signature (of the version
// the block has) and the comment's length byte and text are written; the
// reserved byte and the comment area past the new text keep what the block
// held (the header-only update changes no other byte of the file).
void rewriteHeaderComment(HeaderBlock& block, const std::string& comment);
EntryRecord decodeRecord(const RecordBlock& block);  // a V1 record
EntryRecord decodeRecord(const RecordBuffer& buffer, Version version);

// A record of version from in the layout of version to: the bytes before the
// sizes are kept as they are (unused bytes included, so a carried-over entry
// keeps its record), the sizes are written in the new width. To V1, the sizes
// must fit (fitsV1).
RecordBuffer convertRecord(const RecordBuffer& buffer, Version from, Version to);

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
[[nodiscard]] bool writeHeader(File& file, const Header& header);
[[nodiscard]] bool writeRecord(File& file, const EntryRecord& record,
                               Version version = Version::V1);

// One step of the sequential walk over an open archive.
//
//   ArchiveWalker walk(file);          // reads the header's version, positions at 102
//   while (auto entry = walk.next()) { ... walk.offset() ... }
//   if (walk.failed()) ...             // a read error ended the walk
//   if (walk.cutShort()) ...           // the file ends inside a record
//   if (!walk.damage().empty()) ...    // a record was damaged (see below)
//   walk.problem()                     // any of the three, in French; "" when none
//
// The records are read in the layout the header's signature names (V1 when
// the header is not ours: the callers check the signature first); a header
// that cannot be read fails the walk. The walk ends at or past the end of the
// file, and at a record cut short by the end of the file (never a row of
// garbage). A record with a negative CompressedSize is returned (payloadFits
// says it is damaged) and ends the walk, since the next record cannot be
// found. A record whose payload runs past the end of the file is returned
// too, and is the last. Either is told by damage().
// next() leaves the file positioned at the entry's payload; the walker seeks
// past it on the following call, so the caller may read the payload in between.
class ArchiveWalker {
  public:
    explicit ArchiveWalker(File& file);
    std::optional<EntryRecord> next();
    Version version() const { return version_; }
    // Goes on from position instead: the next call reads the record there.
    // cutShort(), damage() and the end of the walk are forgotten (a read
    // error is not). A repair uses it to look for sound records past a
    // damaged one.
    void restartAt(int64_t position);
    int64_t offset() const { return offset_; }  // entry offset of the last record returned
    int64_t payloadStart() const { return offset_ + recordSize(version_); }
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
    Version version_ = Version::V1;
    int64_t position_ = FirstEntryOffset;
    int64_t offset_ = 0;
    bool failed_ = false;
    bool cutShort_ = false;
    bool ended_ = false;
    std::string damage_;
};

// Direct access: reads the record of an archive of that version at offset
// and accepts it only when its full path equals expectedFullPath
// case-insensitively. nullopt otherwise (also on a short read or a negative
// offset). Leaves the file positioned at the payload, offset +
// recordSize(version).
std::optional<EntryRecord> readRecordAt(File& file, Version version, int64_t offset,
                                        const std::string& expectedFullPath);

// True when the payload of a record whose payload starts at payloadStart lies
// wholly inside the file: CompressedSize is not negative and does not run past
// the end. Every payload copy checks this first; a false answer is a damaged
// entry. A CompressedSize of 0 fits: the payload is empty.
bool payloadFits(const EntryRecord& record, int64_t payloadStart, int64_t fileSize);

// Copies count bytes from the current position of source to the current
// position of destination in 16384-byte blocks. False on a read error, a
// source that ends first, or a failed write. A count of 0 copies nothing.
[[nodiscard]] bool copyBytes(File& source, File& destination, int64_t count);

}  // namespace kv::format

#pragma once
// MemberCodec makes and reads the gzip member that each payload of an archive
// is. Both directions work on open files (kv::File) from their current
// position, read their input in 16384-byte blocks and never throw; the caller
// opens, positions and closes the files.
//
// The member made: 1F 8B 08 00, MTIME 0, XFL 0, OS 0 (the fixed 10-byte
// header: no name, no comment, no other field), raw deflate data, then the
// CRC-32 and the length modulo 2^32 of the data, little-endian. An input of
// at most 8 MiB (as its size says when the call begins) is read whole and
// deflated in one call by libdeflate at level 6: several times faster than
// zlib, and about as small. A larger one, one that grew past its size while
// it was read, or any input when the host has no memory to give, goes
// through zlib's stream (window 15, memory level 8, level 6, the standard
// strategy). The way depends on the input alone, never on the thread or on
// other work under way: with the same libraries, the same bytes always give
// the same member, so an archive made twice is the same. The buffers of a
// whole compression (about twice the input) count in the same budget as the
// whole inflations below.
//
// Progress: a call given a Progress receiver hands it percentages (0..100) of
// the input read, against the input's size: once 0 at the start, then each
// time the percentage has risen by ProgressStep or more, and once 100 when
// the whole input has been read (an empty input gives only the 0). The
// receiver is called on the calling thread, inside the call. Without one,
// nothing is reported.

#include <cstdint>
#include <functional>

namespace kv {

class File;

class MemberCodec {
  public:
    MemberCodec() = delete;

    using Progress = std::function<void(int percent)>;

    // The settings every member is made with.
    static constexpr int Level = 6;          // zlib's compression level
    static constexpr int Strategy = 0;       // zlib's standard strategy (Z_DEFAULT_STRATEGY)
    static constexpr int HeaderSize = 10;    // the fixed header, no optional field
    static constexpr int TrailerSize = 8;    // CRC-32 and length
    static constexpr int ProgressStep = 11;  // percentage points between two reports

    // What compress found; None when the member was written whole.
    enum class CompressFault {
        None,
        ReadError,   // a read of the input failed
        WriteError,  // the output refused a write, or the compressor could not start
    };
    struct Compressed {
        CompressFault fault = CompressFault::None;
        uint32_t crc = 0;    // the CRC-32 of the data read, as the trailer holds it
        int64_t length = 0;  // the bytes read, all of them (the trailer keeps them modulo 2^32)
        bool done() const { return fault == CompressFault::None; }
    };
    // Compresses in, from its current position to its end, into one member
    // written to out from its current position. Neither file is closed. On a
    // fault the output holds a part of a member, to be thrown away. Progress
    // counts the bytes read against in.size().
    static Compressed compress(File& in, File& out, const Progress& progress = {});

    // What a read of one member found (inflate, verify).
    enum class MemberFault {
        None,         // a sound member: header, data, CRC-32 and length
        NotGzip,      // does not start with 1F 8B
        BadHeader,    // another method, a reserved flag bit, a header cut short
        DamagedData,  // the deflate data is invalid
        Truncated,    // the input ends before the member's trailer
        CrcMismatch,
        LengthMismatch,
        ReadError,
        TooLong,     // the data runs past the length the caller allowed
        WriteError,  // the destination refused a write
    };
    struct MemberCheck {
        MemberFault fault = MemberFault::None;
        int64_t length = 0;  // uncompressed bytes produced before the end or the fault
    };

    // Reads the member held in the next count bytes of in, checking its
    // header, its deflate data and its trailer against the data. Members from
    // any writer are read: FEXTRA, FNAME and FCOMMENT are skipped and FHCRC is
    // checked. Bytes after the trailer, within count, are ignored.
    //
    // With out, the data are written to it from its current position as they
    // come (it is not closed): data produced before a fault are written
    // first, so a damaged member still gives what it holds. With maxLength
    // not negative, the read stops with TooLong as soon as the data pass
    // maxLength bytes, so no more than maxLength bytes are ever written.
    // Input that is not a member is NotGzip and nothing is written: a
    // payload is a member or it is damaged. Progress counts input bytes
    // against count.
    //
    // With a maxLength of at most 8 MiB, a member with the fixed header is
    // inflated whole, in memory, by libdeflate: more than twice as fast, with
    // the same checks. What it does not accept is read again as a stream,
    // which says what is wrong. libdeflate lets pass a few breaches of the
    // deflate format that zlib refuses (the reserved length symbols 286 and
    // 287); a member that holds one and still matches its CRC-32 and length
    // is sound when small. The way a member is read depends only on the
    // member and maxLength, so every reader of an entry gets the same answer.
    // All whole inflations under way at once, on every thread, hold at most
    // 34 MiB of buffers; one that would pass that waits for the others.
    static MemberCheck inflate(File& in, int64_t count, File* out, int64_t maxLength,
                               const Progress& progress = {});

    // The member in the next count bytes of file, read to nowhere by the
    // streaming reader with no length limit. An empty input (count 0) is NotGzip.
    static MemberCheck verify(File& file, int64_t count);

    // The fault in French, for listings ("CRC-32 incorrect", ...); "" for None.
    static const char* faultText(MemberFault fault);
};

}  // namespace kv

#pragma once
// The one soundness check of a stored entry. kvr test, the extractor stub's
// --test, restore (through extractPayload), preview and the archiving run's
// carry-over all use it, so an entry one of them accepts is one every other
// accepts too.
//
// An entry is sound when:
//   - its CompressedSize is not negative and its payload lies wholly inside
//     the archive;
//   - it has a payload at all (a CompressedSize of 0 holds no member, even for
//     an empty file: the smallest member, that of an empty file, is 20 bytes);
//   - the payload is one gzip member: magic 1F 8B, method 8, no reserved flag,
//     a header that ends, deflate data that end, and a trailer whose CRC-32
//     and length agree with the data;
//   - the data are exactly FileSize bytes long. Inflating stops as soon as
//     the data pass FileSize, so a small record over a huge payload costs
//     nothing and writes no more than FileSize bytes.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/ArchiveFormat.h"
#include "engine/MemberCodec.h"
#include "engine/SharedReader.h"
#include "platform/Platform.h"

namespace kv::format {

struct EntryCheck {
    enum class Fault {
        None,
        NegativeSize,  // CompressedSize below 0
        PastEnd,       // the payload runs past the end of the archive
        Empty,         // CompressedSize 0: no member
        Member,        // the member is not sound: see member
        SizeMismatch,  // the data are not FileSize bytes long
        ReadError,     // the archive could not be positioned at the payload
    };
    Fault fault = Fault::None;
    MemberCodec::MemberFault member = MemberCodec::MemberFault::None;  // for Fault::Member
    int64_t length = 0;  // data bytes produced (written to out, when given)

    bool sound() const { return fault == Fault::None; }
    // What is wrong, in French, for listings ("CRC-32 incorrect", "contenu
    // vide", ...); "" when sound.
    std::string text() const;
};

// Checks the entry whose record is record and whose payload starts at
// payloadStart in archive (the archive's size is archive.size()). With out,
// the data are written to out from its current position as they come; on a
// failure what was written is to be thrown away (a write that fails is the
// member fault WriteError). With progress, the read's percentages go to it
// (counted in payload bytes, engine/MemberCodec.h). Never throws.
EntryCheck CheckEntry(File& archive, const EntryRecord& record, int64_t payloadStart,
                      File* out = nullptr, const MemberCodec::Progress& progress = {});

// Checks every entry of an archive, as kvr test and the extractor stub's
// --test do: walk walks a reader of archive, and each entry it gives is
// checked with CheckEntry, up to workerThreads(threads) entries at once on
// worker threads that read archive side by side, ahead of the entry in hand.
// each is called on the calling thread, in file order, with every entry, where
// its payload starts and what its check found. The walk's state afterwards
// says what ended it.
using CheckedEntry =
    std::function<void(const EntryRecord& record, int64_t payloadStart, const EntryCheck& check)>;
void CheckEntries(SharedReader& archive, ArchiveWalker& walk, int threads,
                  const CheckedEntry& each);

}  // namespace kv::format

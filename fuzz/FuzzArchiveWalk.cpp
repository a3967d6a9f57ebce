// Walks any bytes as an archive, the way kvr test does: header, every record
// (in the V1 or V2 layout the signature names), every entry through the one
// soundness check (its data written to memory, as a restore writes them), and
// direct access at each entry offset. Reads are cut to a few bytes for some
// inputs, so the retry paths run too.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "engine/EntryExtract.h"
#include "engine/MemberCodec.h"
#include "support/MemoryFile.h"

using namespace kv::format;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::test::MemoryFile file(std::vector<uint8_t>(data, data + size));
    if (size > 0 && data[0] % 5 == 0) file.capReadsAt(1 + data[size - 1] % 7);

    HeaderBlock block;
    if (!readHeaderBlock(file, block)) std::abort();
    CheckSignature(block);
    const Version version = decodeHeader(block).version;
    if (signatureVersion(block).value_or(Version::V1) != version) std::abort();

    std::vector<std::pair<int64_t, std::string>> seen;
    ArchiveWalker walk(file);
    if (walk.version() != version) std::abort();
    int64_t previous = -1;
    while (auto entry = walk.next()) {
        // The walk only moves forward and stays inside the file.
        if (walk.offset() <= previous || walk.offset() + recordSize(version) > int64_t(size))
            std::abort();
        previous = walk.offset();
        seen.emplace_back(walk.offset(), entry->fullPath());
        // Encoding a decoded record and decoding it again changes nothing, in
        // its own layout and, where the sizes fit, in the other one.
        const EntryRecord again = decodeRecord(encodeRecord(*entry, version), version);
        if (again.fullPath() != entry->fullPath() ||
            again.compressedSize != entry->compressedSize || again.fileSize != entry->fileSize)
            std::abort();
        const Version other = version == Version::V1 ? Version::V2 : Version::V1;
        if (fitsV1(*entry)) {
            const RecordBuffer there = convertRecord(encodeRecord(*entry, version), version, other);
            const EntryRecord back = decodeRecord(there, other);
            if (back.fileSize != entry->fileSize || back.compressedSize != entry->compressedSize ||
                back.fullPath() != entry->fullPath())
                std::abort();
        }
        if (payloadFits(*entry, walk.payloadStart(), walk.fileSize()) &&
            entry->compressedSize > 0) {
            file.seek(walk.payloadStart());
            const auto member = kv::MemberCodec::verify(file, entry->compressedSize);
            if (member.length < 0) std::abort();
            // The soundness check never writes past FileSize, and a sound entry
            // is exactly FileSize bytes.
            kv::test::MemoryFile out;
            const EntryCheck check = CheckEntry(file, *entry, walk.payloadStart(), &out);
            if (int64_t(out.bytes().size()) > std::max<int64_t>(entry->fileSize, 0)) std::abort();
            if (check.sound() && int64_t(out.bytes().size()) != entry->fileSize) std::abort();
            // The check and the member reader agree, except that a small
            // member of ours is read whole by a decoder that lets pass the
            // reserved length symbols.
            const bool streamSound = member.fault == kv::MemberCodec::MemberFault::None &&
                                     member.length == entry->fileSize;
            const uint8_t* payload = data + walk.payloadStart();
            const bool readWhole = entry->compressedSize > 3 && payload[3] == 0 &&
                                   entry->fileSize <= (int64_t(8) << 20);
            if (streamSound && !check.sound()) std::abort();
            if (check.sound() && !streamSound && !readWhole) std::abort();
            if (!check.sound() && check.text().empty()) std::abort();
        } else if (CheckEntry(file, *entry, walk.payloadStart()).sound()) {
            std::abort();  // no payload, or one outside the file, is never sound
        }
        // A stored path that passes the rule reads back as itself.
        if (storedPathProblem(entry->fullPath()).empty()) {
            EntryRecord probe;
            probe.folder = entry->folder;
            probe.fileName = entry->fileName;
            const EntryRecord back = decodeRecord(encodeRecord(probe));
            if (back.folder != probe.folder || back.fileName != probe.fileName) std::abort();
        }
    }
    if (walk.problem().empty() != (!walk.failed() && !walk.cutShort() && walk.damage().empty()))
        std::abort();
    for (const auto& [offset, path] : seen)
        if (!readRecordAt(file, version, offset, path)) std::abort();
    return 0;
}

// Walks any bytes as an archive, the way kvr test does: header, every record,
// every payload that fits checked as a member, and direct access at each
// entry offset. Reads are cut to a few bytes for some inputs, so the retry
// paths run too.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/TGzip.h"
#include "support/MemoryFile.h"

using namespace kv::format;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::test::MemoryFile file(std::vector<uint8_t>(data, data + size));
    if (size > 0 && data[0] % 5 == 0) file.capReadsAt(1 + data[size - 1] % 7);

    HeaderBlock block;
    if (!readHeaderBlock(file, block)) std::abort();
    CheckSignature(block);
    decodeHeader(block);

    std::vector<std::pair<int64_t, std::string>> seen;
    ArchiveWalker walk(file);
    int64_t previous = -1;
    while (auto entry = walk.next()) {
        // The walk only moves forward and stays inside the file.
        if (walk.offset() <= previous || walk.offset() + RecordSize > int64_t(size)) std::abort();
        previous = walk.offset();
        seen.emplace_back(walk.offset(), entry->fullPath());
        // Encoding a decoded record and decoding it again changes nothing.
        const EntryRecord again = decodeRecord(encodeRecord(*entry));
        if (again.fullPath() != entry->fullPath() || again.compressedSize != entry->compressedSize)
            std::abort();
        if (payloadFits(*entry, walk.payloadStart(), walk.fileSize()) &&
            entry->compressedSize > 0) {
            file.seek(walk.payloadStart());
            const auto check = kv::TGzip::verifyMember(file, entry->compressedSize);
            if (check.length < 0) std::abort();
        }
    }
    for (const auto& [offset, path] : seen)
        if (!readRecordAt(file, offset, path)) std::abort();
    return 0;
}

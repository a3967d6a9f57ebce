// Feeds any bytes to the member reader three ways: verify (with short reads
// for some inputs), inflate with no limit, and inflate with a length limit
// taken from the input, both into memory; and checks that they agree: the two
// streaming reads find the same members sound, the limited one
// never writes more than its limit and finds no member sound that the stream
// does not, unless it read it whole; input that is not a member writes nothing.
// The progress reports of every read rise from 0 and stay within 0..100.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/MemberCodec.h"
#include "support/MemoryFile.h"

using kv::MemberCodec;
using Fault = MemberCodec::MemberFault;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    int last = -1;
    const MemberCodec::Progress progress = [&last](int percent) {
        if (percent < 0 || percent > 100 || percent < last || (last < 0 && percent != 0))
            std::abort();
        last = percent;
    };

    kv::test::MemoryFile file(bytes);
    if (size > 0 && data[size / 2] % 3 == 0) file.capReadsAt(1 + data[0] % 5);
    const auto check = MemberCodec::verify(file, int64_t(size));
    const bool member = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
    if (!member && check.fault != Fault::NotGzip) std::abort();

    kv::test::MemoryFile streamIn(bytes);
    kv::test::MemoryFile streamed;
    const auto all = MemberCodec::inflate(streamIn, int64_t(size), &streamed, -1, progress);
    if ((all.fault == Fault::None) != (check.fault == Fault::None) ||
        (all.fault == Fault::NotGzip) != (check.fault == Fault::NotGzip) ||
        (all.fault == Fault::None && all.length != check.length) ||
        int64_t(streamed.bytes().size()) != all.length)
        std::abort();

    // A limit around the true length: below it the data are too long, at or
    // above it they come out whole.
    const int64_t limit = size > 0 ? check.length - 1 + data[size - 1] % 3 : -1;
    kv::test::MemoryFile again(bytes);
    kv::test::MemoryFile inflated;
    last = -1;
    const auto limited = MemberCodec::inflate(again, int64_t(size), &inflated, limit, progress);
    if (limit >= 0 && int64_t(inflated.bytes().size()) > limit) std::abort();
    if (!member && (limited.fault != Fault::NotGzip || !inflated.bytes().empty())) std::abort();
    // inflate finds sound what the stream does not only when it read the
    // member whole (a header without flags, a limit of at most 8 MiB): that
    // decoder lets pass the reserved length symbols.
    if (check.fault != Fault::None && limited.fault == Fault::None &&
        !(size > 3 && data[3] == 0 && limit <= (int64_t(8) << 20)))
        std::abort();
    if (check.fault == Fault::None && limit >= 0) {
        const bool fits = limit >= check.length;
        if (fits != (limited.fault == Fault::None)) std::abort();
        if (!fits && limited.fault != Fault::TooLong) std::abort();
        if (fits && inflated.bytes() != streamed.bytes()) std::abort();
    }
    return 0;
}

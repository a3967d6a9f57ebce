// Feeds any bytes to Decompress (through a real file), to verifyMember (in
// memory, with short reads for some inputs) and to InflateMember (into memory,
// with a length limit taken from the input), and checks that they agree: a
// member Decompress accepts is one verifyMember finds sound, and the other way
// round; InflateMember writes the same bytes and never more than its limit,
// and finds no member sound that verifyMember does not, unless it read it
// whole;
// input that is not a member comes back unchanged from Decompress only.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/TGzip.h"
#include "platform/Platform.h"
#include "support/MemoryFile.h"

namespace fs = std::filesystem;

namespace {

const fs::path& folder() {
    static const fs::path path = [] {
        // tmpfs when there is one: every input goes through a real file.
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path p = base / ("kv-fuzz-gzip-" + std::to_string(getpid()));
        fs::create_directories(p);
        kv::Drive z;
        z.letter = 'Z';
        z.hostRoot = p.string();
        kv::setHostDriveMap({z});
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& dir = folder();
    std::ofstream(dir / "in.gz", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    kv::TGzip gzip = kv::TGzip::designedGzip1();
    gzip.FileSource = "Z:\\in.gz";
    gzip.FileDestination = "Z:\\out.bin";
    int last = -1;
    gzip.OnProgress = [&](kv::TGzip& g) {
        if (g.Percent() < 0 || g.Percent() > 100 || g.Percent() < last) std::abort();
        last = g.Percent();
    };
    const int result = gzip.Decompress();
    if (result != 0 && result != 103) std::abort();

    kv::test::MemoryFile file(std::vector<uint8_t>(data, data + size));
    if (size > 0 && data[size / 2] % 3 == 0) file.capReadsAt(1 + data[0] % 5);
    const auto check = kv::TGzip::verifyMember(file, int64_t(size));
    const bool member = size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
    // A limit around the true length: below it the data are too long, at or
    // above it they come out whole.
    const int64_t limit = size > 0 ? check.length - 1 + data[size - 1] % 3 : -1;
    kv::test::MemoryFile again(std::vector<uint8_t>(data, data + size));
    kv::test::MemoryFile inflated;
    kv::TGzip bounded;
    const auto limited = bounded.InflateMember(again, int64_t(size), &inflated, limit);
    if (limit >= 0 && int64_t(inflated.bytes().size()) > limit) std::abort();
    if (!member && limited.fault != kv::TGzip::MemberFault::NotGzip) std::abort();
    // InflateMember finds sound what the stream does not only when it read
    // the member whole (a header without flags, a limit of at most 8 MiB):
    // that decoder lets pass the reserved length symbols.
    if (check.fault != kv::TGzip::MemberFault::None &&
        limited.fault == kv::TGzip::MemberFault::None &&
        !(size > 3 && data[3] == 0 && limit <= (int64_t(8) << 20)))
        std::abort();
    if (check.fault == kv::TGzip::MemberFault::None && limit >= 0) {
        const bool fits = limit >= check.length;
        if (fits != (limited.fault == kv::TGzip::MemberFault::None)) std::abort();
        if (!fits && limited.fault != kv::TGzip::MemberFault::TooLong) std::abort();
    }
    if (member) {
        if ((check.fault == kv::TGzip::MemberFault::None) != (result == 0)) std::abort();
        if (result == 0 && int64_t(fs::file_size(dir / "out.bin")) != check.length) std::abort();
        if (result == 0 && limited.fault == kv::TGzip::MemberFault::None) {
            std::ifstream out(dir / "out.bin", std::ios::binary);
            const std::string whole((std::istreambuf_iterator<char>(out)), {});
            if (whole != std::string(inflated.bytes().begin(), inflated.bytes().end()))
                std::abort();
        }
    } else {
        if (result != 0 || check.fault != kv::TGzip::MemberFault::NotGzip) std::abort();
        std::ifstream out(dir / "out.bin", std::ios::binary);
        const std::string copy((std::istreambuf_iterator<char>(out)), {});
        if (copy != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    }
    return 0;
}

// Feeds any bytes to Decompress (through a real file) and to verifyMember
// (in memory, with short reads for some inputs), and checks that they agree:
// a member Decompress accepts is one verifyMember finds sound, and the other
// way round; input that is not a member comes back unchanged.

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
    if (member) {
        if ((check.fault == kv::TGzip::MemberFault::None) != (result == 0)) std::abort();
        if (result == 0 && int64_t(fs::file_size(dir / "out.bin")) != check.length) std::abort();
    } else {
        if (result != 0 || check.fault != kv::TGzip::MemberFault::NotGzip) std::abort();
        std::ifstream out(dir / "out.bin", std::ios::binary);
        const std::string copy((std::istreambuf_iterator<char>(out)), {});
        if (copy != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
    }
    return 0;
}

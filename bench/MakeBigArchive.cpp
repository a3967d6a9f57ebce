// kv_make_big_archive ARCHIVE COUNT [FOLDER]: writes an archive of COUNT small
// entries, FOLDER + "dNNNN\fNNNNNNN.txt" (FOLDER defaults to "C:\Absent\"), all
// holding the same short text. Their files do not exist, so an update of the
// archive carries every entry over: the case that measures what an update
// holds in memory for a large catalog. The same arguments always give the
// same bytes.

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/ArchiveFormat.h"

namespace {

// The gzip member of text, as a standard gzip writer makes it.
std::string gzipMember(const std::string& text) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, text.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return result == Z_STREAM_END ? out : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage : kv_make_big_archive ARCHIVE NOMBRE [DOSSIER]\n");
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    const std::string folder = argc > 3 ? argv[3] : "C:\\Absent\\";
    const std::string text = "une ligne de texte\n";
    const std::string member = gzipMember(text);
    if (count <= 0 || member.empty()) return 2;

    std::ofstream out(argv[1], std::ios::binary);
    const auto header = kv::format::encodeHeader({0, "Archive de mesure"});
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    kv::format::EntryRecord record;
    record.fileDate = 0x5A210000;
    record.typeName = "Document texte";
    record.fileSize = static_cast<int32_t>(text.size());
    record.compressedSize = static_cast<int32_t>(member.size());
    char name[64];
    for (long i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "d%04ld\\", i / 1000);
        record.folder = folder + name;
        std::snprintf(name, sizeof name, "f%07ld.txt", i);
        record.fileName = name;
        const auto block = kv::format::encodeRecord(record);
        out.write(reinterpret_cast<const char*>(block.data()), block.size());
        out.write(member.data(), static_cast<std::streamsize>(member.size()));
    }
    out.close();
    return out ? 0 : 1;
}

// kv_bench_engine CORPUS WORK RUNS KVR: the engine's two long runs against the
// least work that produces the same result, in the same run and on the same
// files, plus tar | gzip -6 for reference:
//   - archiving: `kvr update` of a new archive holding every file of CORPUS,
//     against a bare zlib loop that deflates each file (raw deflate, level 6,
//     window 15, memory level 8, 16384-byte buffers) into one output file,
//     record and member after member;
//   - restore: `kvr extract --to --tree` of that archive, against a bare
//     inflate loop that writes each payload into the same tree;
//   - peak memory of kvr update and extract over one small and one large file;
//   - adding a folder of 100,000 small files to a catalog (the adding core in
//     this process), into an empty catalog and again over itself (every file
//     already known).
// Medians of RUNS runs; ratios are ours / bare.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "engine/Adding.h"
#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t Chunk = 16384;

using namespace kvbench;

std::vector<fs::path> filesBelow(const fs::path& root) {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The bare archiving loop: for each file a 416-byte record, then one member.
bool bareArchive(const std::vector<fs::path>& files, const fs::path& output) {
    FILE* out = std::fopen(output.c_str(), "wb");
    if (!out) return false;
    std::vector<char> header(102, 0);
    std::fwrite(header.data(), 1, header.size(), out);
    for (const auto& file : files) {
        FILE* in = std::fopen(file.c_str(), "rb");
        if (!in) return false;
        const long recordAt = std::ftell(out);
        std::vector<char> record(416, 0);
        std::fwrite(record.data(), 1, record.size(), out);
        kvbench::bareDeflateMember(
            [&](unsigned char* buffer, std::size_t n) { return long(std::fread(buffer, 1, n, in)); },
            [&](const unsigned char* buffer, std::size_t n) {
                return std::fwrite(buffer, 1, n, out) == n;
            });
        std::fclose(in);
        // The record's sizes, as a writer that does not know them ahead must.
        const long end = std::ftell(out);
        const int32_t compressed = int32_t(end - recordAt - 416);
        std::fseek(out, recordAt + 412, SEEK_SET);
        std::fwrite(&compressed, 4, 1, out);
        std::fseek(out, end, SEEK_SET);
    }
    return std::fclose(out) == 0;
}

// The bare restore loop: walks an archive and inflates each payload into
// root + the stored folder without its drive part.
bool bareExtract(const fs::path& archive, const fs::path& root) {
    FILE* in = std::fopen(archive.c_str(), "rb");
    if (!in) return false;
    static unsigned char inBuf[Chunk], outBuf[Chunk];
    std::fseek(in, 102, SEEK_SET);
    kv::format::RecordBlock block;
    while (std::fread(block.data(), 1, block.size(), in) == block.size()) {
        const auto record = kv::format::decodeRecord(block);
        std::string folder = record.folder.substr(3);
        std::replace(folder.begin(), folder.end(), '\\', '/');
        const fs::path dir = root / folder;
        fs::create_directories(dir);
        FILE* out = std::fopen((dir / record.fileName).c_str(), "wb");
        if (!out) return false;
        int64_t left = record.compressedSize - 10;
        std::fseek(in, 10, SEEK_CUR);
        z_stream z{};
        inflateInit2(&z, -15);
        uLong crc = crc32(0, nullptr, 0);
        int r = Z_OK;
        while (r != Z_STREAM_END && left > 0) {
            const std::size_t n = std::fread(inBuf, 1, std::min<int64_t>(Chunk, left), in);
            if (n == 0) return false;
            left -= int64_t(n);
            z.next_in = inBuf;
            z.avail_in = uInt(n);
            do {
                z.next_out = outBuf;
                z.avail_out = Chunk;
                r = inflate(&z, Z_NO_FLUSH);
                if (r < 0 && r != Z_BUF_ERROR) return false;
                crc = crc32(crc, outBuf, uInt(Chunk - z.avail_out));
                std::fwrite(outBuf, 1, Chunk - z.avail_out, out);
            } while (z.avail_out == 0 && r != Z_STREAM_END);
        }
        const long unread = long(z.avail_in);
        inflateEnd(&z);
        std::fclose(out);
        // The trailer's CRC-32, checked as any extractor must.
        unsigned char trailer[8] = {};
        std::fseek(in, -unread, SEEK_CUR);
        if (std::fread(trailer, 1, 8, in) != 8 ||
            (uLong(trailer[0]) | uLong(trailer[1]) << 8 | uLong(trailer[2]) << 16 |
             uLong(trailer[3]) << 24) != crc)
            return false;
    }
    std::fclose(in);
    return true;
}

void makeFile(const fs::path& path, std::size_t size) {
    std::mt19937 rng(7);
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t done = 0; done < size; done += block.size()) {
        for (auto& c : block) c = "sauvegarde archive fichier "[rng() % 27];
        out.write(block.data(), std::streamsize(std::min(block.size(), size - done)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: kv_bench_engine CORPUS WORK RUNS KVR\n");
        return 2;
    }
    const fs::path corpus = fs::absolute(argv[1]);
    const fs::path work = fs::absolute(argv[2]);
    const int runs = std::max(1, std::atoi(argv[3]));
    const std::string kvr = fs::absolute(argv[4]).string();
    fs::create_directories(work / "Temp");

    // X: the corpus's parent, W: the scratch folder; the Work folder is W:\Temp.
    const std::vector<std::string> env = {
        "KORVELT_DRIVES=X=" + corpus.parent_path().string() + ";W=" + work.string(),
        "TMPDIR=" + (work / "Temp").string()};
    std::ofstream(work / "all.kvl", std::ios::binary)
        << "X:\\" << corpus.filename().string() << "\\*.*\r\n";

    // KV_BENCH_ADDING_ONLY: only the adding measure (for quick checks).
    const bool addingOnly = std::getenv("KV_BENCH_ADDING_ONLY") != nullptr;
    const auto files = addingOnly ? std::vector<fs::path>{} : filesBelow(corpus);
    double total = 0;
    for (const auto& f : files) total += double(fs::file_size(f));
    std::printf("engine: %zu files, %.1f MB, %d runs\n", files.size(), total / 1e6, runs);

    std::vector<double> update, bareC, extract, bareD, tarGzip;
    for (int run = 0; run < runs && !addingOnly; ++run) {
        fs::remove(work / "a.kvr");
        Child u = runChild({kvr, "update", "W:\\a.kvr", "--script", "W:\\all.kvl"}, env);
        if (u.status != 0) {
            std::fprintf(stderr, "kvr update failed (%d)\n", u.status);
            return 1;
        }
        update.push_back(u.seconds);

        auto start = Clock::now();
        if (!bareArchive(files, work / "bare.kvr")) {
            std::fprintf(stderr, "bare archiving loop failed\n");
            return 1;
        }
        bareC.push_back(secondsSince(start));

        fs::remove_all(work / "Out");
        Child x = runChild({kvr, "extract", "W:\\a.kvr", "--to", "W:\\Out", "--tree"}, env);
        if (x.status != 0) {
            std::fprintf(stderr, "kvr extract failed (%d)\n", x.status);
            return 1;
        }
        extract.push_back(x.seconds);

        fs::remove_all(work / "BareOut");
        start = Clock::now();
        if (!bareExtract(work / "a.kvr", work / "BareOut")) {
            std::fprintf(stderr, "bare inflate loop failed\n");
            return 1;
        }
        bareD.push_back(secondsSince(start));

        Child t = runChild({"/bin/sh", "-c",
                            "tar -cf - -C '" + corpus.string() + "' . | gzip -6 > '" +
                                (work / "t.tar.gz").string() + "'"},
                           {});
        tarGzip.push_back(t.seconds);
        std::printf(
            "  run %d: update %.2f s, bare deflate %.2f s, extract %.2f s, bare inflate %.2f s, "
            "tar|gzip %.2f s\n",
            run + 1, update.back(), bareC.back(), extract.back(), bareD.back(), tarGzip.back());
    }
    if (!addingOnly) {
        std::printf("archive %.1f MB = %.1f%% of the corpus; bare loop's output %.1f MB\n",
                    double(fs::file_size(work / "a.kvr")) / 1e6,
                    100.0 * double(fs::file_size(work / "a.kvr")) / total,
                    double(fs::file_size(work / "bare.kvr")) / 1e6);
        // On a shared machine the best of the runs is the steadiest figure.
        std::printf(
            "archiving: kvr update median %.2f s best %.2f s, bare deflate loop median %.2f s best "
            "%.2f s, "
            "ratio of medians %.3f, of bests %.3f (target 1.15)\n",
            median(update), best(update), median(bareC), best(bareC),
            median(update) / median(bareC), best(update) / best(bareC));
        std::printf(
            "restore:   kvr extract median %.2f s best %.2f s, bare inflate loop median %.2f s "
            "best %.2f s, "
            "ratio of medians %.3f, of bests %.3f (target 1.15)\n",
            median(extract), best(extract), median(bareD), best(bareD),
            median(extract) / median(bareD), best(extract) / best(bareD));
        std::printf("reference median: tar -cf - | gzip -6 %.2f s (update / tar|gzip %.3f)\n",
                    median(tarGzip), median(update) / median(tarGzip));

        // Peak memory: one file of 2 MB, then one of 256 MB.
        for (std::size_t mb : {2u, 256u}) {
            const fs::path dir = work / ("Mem" + std::to_string(mb));
            fs::remove_all(dir);
            fs::create_directories(dir / "in");
            makeFile(dir / "in" / "one.txt", mb << 20);
            std::ofstream(dir / "one.kvl", std::ios::binary)
                << "W:\\Mem" << mb << "\\in\\one.txt\r\n";
            const std::string base = "W:\\Mem" + std::to_string(mb) + "\\";
            Child u =
                runChild({kvr, "update", base + "one.kvr", "--script", base + "one.kvl"}, env);
            Child x = runChild({kvr, "extract", base + "one.kvr", "--to", base + "out"}, env);
            std::printf(
                "peak RSS, one file of %3zu MB: kvr update %ld KiB, kvr extract %ld KiB%s\n", mb,
                u.peakKiB, x.peakKiB, u.status || x.status ? " (a run failed)" : "");
            fs::remove_all(dir);
        }
    }

    // Adding a folder of 100,000 small files, in this process.
    const fs::path many = work / "Many";
    if (!fs::exists(many / "done")) {
        fs::remove_all(many);
        for (int d = 0; d < 100; ++d) {
            const fs::path dir = many / ("d" + std::to_string(d));
            fs::create_directories(dir);
            for (int f = 0; f < 1000; ++f)
                std::ofstream(dir / ("fichier" + std::to_string(f) + ".txt")) << "petit";
        }
        std::ofstream(many / "done");
    }
    kv::Drive w;
    w.letter = 'W';
    w.hostRoot = work.string();
    kv::setHostDriveMap({w});
    QuietUi ui;
    kv::Session session;
    session.currentArchive = "W:\\a.kvr";
    auto typeName = [](const std::string& path) {
        const auto dot = path.rfind('.');
        return dot == std::string::npos ? std::string("Fichier")
                                        : "Fichier " + path.substr(dot + 1);
    };
    for (const char* pass : {"into an empty catalog", "again, every file already listed"}) {
        const auto start = Clock::now();
        kv::AddOperation op(session, ui, typeName, {});
        kv::AddSelectionEntry(op, "W:\\Many\\*.*");
        std::printf("adding 100,000 files %s: %.2f s, %d rows added, %zu rows (target 2 s)\n", pass,
                    secondsSince(start), op.added, session.rows.size());
    }
    kv::resetHostDriveMap();
    return 0;
}

// Reading a large catalog: an archive of N entries (default 100,000) whose
// files exist on disk, then the same archive with every file gone. Prints the
// load time of each and the cost per entry, beside a bare pass over the same
// files (one stat each) and a bare read of the archive's bytes, all in
// processor seconds.
//
//   kv_bench_catalog_load [N]

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "platform/Platform.h"

namespace {

// Processor time of this process: the machine may be shared, so wall time
// alone would measure the neighbours too.
double cpuNow() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("kv-bench-load-" + std::to_string(::getpid()));
    const int perFolder = 1000;
    fs::create_directories(root);
    kv::setHostDriveMap({kv::Drive{'C', root.string(), kv::DriveType::Fixed, "", 1, true}});

    std::string bytes;
    {
        kv::format::Header header;
        header.comment = "bench";
        const auto block = kv::format::encodeHeader(header);
        bytes.assign(block.begin(), block.end());
    }
    std::vector<std::string> hostFiles;
    const std::string payload(20, 'x');
    for (int i = 0; i < count; ++i) {
        const std::string folder = "dossier" + std::to_string(i / perFolder);
        const std::string name = "fichier" + std::to_string(i) + ".txt";
        if (i % perFolder == 0) fs::create_directories(root / folder);
        hostFiles.push_back((root / folder / name).string());
        std::ofstream(hostFiles.back()) << "x";
        kv::format::EntryRecord record;
        record.fileName = name;
        record.folder = "C:\\" + folder + "\\";
        record.fileDate = 0x7FFF0000;  // later than any file here: every row is unchanged
        record.typeName = "Document texte";
        record.fileSize = 1;
        record.compressedSize = static_cast<int32_t>(payload.size());
        const auto block = kv::format::encodeRecord(record);
        bytes.append(block.begin(), block.end());
        bytes += payload;
    }
    std::ofstream((root / "bench.kvr").string(), std::ios::binary) << bytes;

    double start = cpuNow();
    std::ifstream in((root / "bench.kvr").string(), std::ios::binary);
    std::vector<char> sink(1 << 20);
    while (in.read(sink.data(), static_cast<std::streamsize>(sink.size())) || in.gcount() > 0) {
    }
    const double bareRead = (cpuNow() - start);

    start = cpuNow();
    struct stat st;
    int present = 0;
    for (const std::string& f : hostFiles) present += ::stat(f.c_str(), &st) == 0;
    const double bareStat = (cpuNow() - start);

    // The platform queries a status check could be built from, over the same files.
    std::vector<std::string> windowsFiles;
    for (int i = 0; i < count; ++i)
        windowsFiles.push_back("C:\\dossier" + std::to_string(i / perFolder) + "\\fichier" +
                               std::to_string(i) + ".txt");
    kv::Platform& host = kv::platform();
    start = cpuNow();
    for (const std::string& f : windowsFiles) present -= host.lastWriteDos(f).has_value();
    const double oneQuery = cpuNow() - start;
    start = cpuNow();
    for (const std::string& f : windowsFiles)
        present += kv::entryStatus(f, 0x7FFF0000) == kv::Unchanged;
    const double statusCheck = cpuNow() - start;

    kvbench::QuietUi ui;
    kv::OpenArchive archive;
    archive.path = "C:\\bench.kvr";
    start = cpuNow();
    const kv::LoadResult loaded = kv::LoadArchive(archive, ui);
    const double load = (cpuNow() - start);
    if (loaded.outcome != kv::LoadOutcome::Loaded || archive.rows.size() != std::size_t(count) ||
        present != count) {
        std::fprintf(stderr, "unexpected load: %zu rows\n", archive.rows.size());
        return 1;
    }

    for (int i = 0; i < count / perFolder + 1; ++i)
        fs::remove_all(root / ("dossier" + std::to_string(i)));
    start = cpuNow();
    kv::LoadArchive(archive, ui);
    const double loadMissing = (cpuNow() - start);

    std::printf("entries                      %d\n", count);
    std::printf("bare read of the archive     %.3f s\n", bareRead);
    std::printf("bare stat of every file      %.3f s\n", bareStat);
    std::printf("platform lastWriteDos        %.3f s  (%.2f us/query)\n", oneQuery,
                oneQuery * 1e6 / count);
    std::printf("entryStatus                  %.3f s  (%.2f us/entry)\n", statusCheck,
                statusCheck * 1e6 / count);
    std::printf("LoadArchive, files present   %.3f s  (%.2f us/entry, %.1fx the bare stat pass)\n",
                load, load * 1e6 / count, load / bareStat);
    std::printf("LoadArchive, files missing   %.3f s  (%.2f us/entry)\n", loadMissing,
                loadMissing * 1e6 / count);
    fs::remove_all(root);
    kv::resetHostDriveMap();
    return 0;
}

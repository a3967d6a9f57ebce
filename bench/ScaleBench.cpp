// kv_bench_scale WORK KVR [COUNT]: a catalog of COUNT files (default
// 1,000,000), each its own small file, 1000 to a folder, below WORK/Big
// (made once, kept for the next runs). Each step runs as its own process,
// timed with its peak memory:
//   - add: the folder added to an empty catalog (the window's adding);
//   - first archive: kvr update of a new archive from a script naming the
//     folder (adding included);
//   - load: the catalog read from the archive, every file's status checked
//     (the window's load);
//   - unchanged update: kvr update of the archive, nothing changed, twice
//     (the first may prove the files written in the seconds before the
//     archive; the second keeps every member the files cache vouches for);
//   - test: kvr test of the archive.
// The goals: load <= 5 s, unchanged update <= 30 s, each under 512 MiB.
// Not part of make bench (bench/run.sh): run it by hand, on a quiet machine.
//
//   kv_bench_scale add|load WORK   the in-process steps, run by the above

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "engine/Adding.h"
#include "engine/CatalogReader.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;
using namespace kvbench;

namespace {

constexpr int PerFolder = 1000;

// W: is WORK, the Work folder W:\Temp, the files cache below WORK.
std::vector<std::string> environment(const fs::path& work) {
    return {"KORVELT_DRIVES=W=" + work.string(), "TMPDIR=" + (work / "Temp").string(),
            "XDG_CACHE_HOME=" + (work / "Cache").string()};
}

void useDrive(const fs::path& work) {
    kv::Drive w;
    w.letter = 'W';
    w.hostRoot = work.string();
    kv::setHostDriveMap({w});
}

int inProcess(const std::string& step, const fs::path& work) {
    useDrive(work);
    QuietUi ui;
    kv::OpenArchive archive;
    archive.path = "W:\\big.kvr";
    if (step == "add") {
        kv::AddOperation op(archive, ui, [](const std::string&) { return "Document texte"; }, {});
        kv::AddSelectionEntry(op, "W:\\Big\\*.*");
        std::printf("%zu rows\n", archive.rows.size());
        return archive.rows.empty() ? 1 : 0;
    }
    if (step == "load") {
        const kv::LoadResult loaded = kv::LoadArchive(archive, ui);
        // A digest of the rows in their order with their statuses, to compare
        // the loads of two builds.
        uint64_t digest = 1469598103934665603ull;
        int modified = 0;
        int missing = 0;
        for (const kv::CatalogRow& row : archive.rows) {
            for (char c : row.fullPath() + char('0' + row.status))
                digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            modified += row.status == kv::Modified;
            missing += row.status == kv::Missing;
        }
        std::printf("%zu rows, %d modified, %d missing, digest %016llx\n", archive.rows.size(),
                    modified, missing, static_cast<unsigned long long>(digest));
        return loaded.outcome == kv::LoadOutcome::Loaded ? 0 : 1;
    }
    return 2;
}

void makeFiles(const fs::path& big, long count) {
    if (fs::exists(big / ("done-" + std::to_string(count)))) return;
    fs::remove_all(big);
    std::printf("making %ld files below %s ...\n", count, big.c_str());
    std::fflush(stdout);
    for (long i = 0; i < count; ++i) {
        const fs::path folder = big / ("d" + std::to_string(i / PerFolder));
        if (i % PerFolder == 0) fs::create_directories(folder);
        std::ofstream(folder / ("f" + std::to_string(i) + ".txt")) << "ligne " << i << '\n';
    }
    std::ofstream(big / ("done-" + std::to_string(count)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3) return inProcess(argv[1], fs::absolute(argv[2]));
    if (argc < 3) {
        std::fprintf(stderr, "usage: kv_bench_scale WORK KVR [COUNT]\n");
        return 2;
    }
    const fs::path work = fs::absolute(argv[1]);
    const std::string kvr = fs::absolute(argv[2]).string();
    const long count = argc > 3 ? std::atol(argv[3]) : 1000000;
    const std::string me = fs::read_symlink("/proc/self/exe").string();
    fs::create_directories(work / "Temp");
    fs::create_directories(work / "Cache");
    makeFiles(work / "Big", count);
    std::ofstream(work / "big.kvl", std::ios::binary) << "W:\\Big\\*.*\r\n";
    fs::remove(work / "big.kvr");
    const std::vector<std::string> env = environment(work);

    std::printf("scale: %ld files, %u cores\n", count,
                std::max(1u, unsigned(sysconf(_SC_NPROCESSORS_ONLN))));
    std::printf("  %-34s %9s %9s %8s\n", "", "seconds", "peak MiB", "status");
    bool within = true;
    auto step = [&](const char* name, const std::vector<std::string>& argv, double goal) {
        const Child c = runChild(argv, env);
        const long mib = c.peakKiB / 1024;
        std::printf("  %-34s %9.2f %9ld %8d%s\n", name, c.seconds, mib, c.status,
                    goal > 0 ? (c.seconds <= goal ? "  (goal met)" : "  (goal NOT MET)") : "");
        within = within && c.status == 0 && mib < 512;
        return c;
    };
    step("add to an empty catalog", {me, "add", work.string()}, 0);
    step("first archive (adding included)",
         {kvr, "update", "W:\\big.kvr", "--script", "W:\\big.kvl"}, 0);
    step("load", {me, "load", work.string()}, 5);
    step("unchanged update", {kvr, "update", "W:\\big.kvr"}, 30);
    step("unchanged update, again", {kvr, "update", "W:\\big.kvr"}, 30);
    step("test", {kvr, "test", "W:\\big.kvr"}, 0);
    std::printf("archive %.1f MB; every step %s under 512 MiB and without a failure\n",
                double(fs::file_size(work / "big.kvr")) / 1e6, within ? "ran" : "did NOT run");
    return within ? 0 : 1;
}

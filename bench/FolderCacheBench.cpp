// kv_bench_folder_cache [FILES] [FOLDERS]: creating FILES small files spread
// over FOLDERS new folders through the platform (drive-letter paths, so every
// open looks its path up), against the same creation with plain POSIX calls.
// This is the pattern of a restore into a fresh tree: each file is missing
// when its path is looked up, so a lookup that lists the folder again after
// every change makes the run quadratic in the folder's size.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchCommon.h"
#include "platform/HostPlatform.h"

namespace fs = std::filesystem;
using kvbench::Clock;
using kvbench::secondsSince;

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folders = argc > 2 ? std::atoi(argv[2]) : 10;
    if (files <= 0 || folders <= 0) {
        std::fprintf(stderr, "usage: kv_bench_folder_cache [FILES] [FOLDERS]\n");
        return 2;
    }
    const fs::path root =
        fs::temp_directory_path() / ("kv-folder-cache-" + std::to_string(getpid()));
    fs::create_directories(root / "plain");
    fs::create_directories(root / "drive");
    kv::HostPlatform& p = kv::hostPlatform();
    kv::Drive drive;
    drive.letter = 'R';
    drive.hostRoot = (root / "drive").string();
    drive.label = "BENCH";
    p.setDriveMap({drive});
    const char payload[64] = {};

    auto start = Clock::now();
    for (int d = 0; d < folders; ++d) {
        const std::string folder = (root / "plain" / ("Dossier" + std::to_string(d))).string();
        mkdir(folder.c_str(), 0777);
        for (int i = d; i < files; i += folders) {
            const std::string name = folder + "/Fichier" + std::to_string(i) + ".txt";
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || write(fd, payload, sizeof payload) != sizeof payload) return 1;
            close(fd);
        }
    }
    const double plain = secondsSince(start);

    start = Clock::now();
    for (int d = 0; d < folders; ++d) {
        const std::string folder = "R:\\Dossier" + std::to_string(d);
        if (!p.directoryExists(folder) && !p.createDirectory(folder)) return 1;
        for (int i = d; i < files; i += folders) {
            auto file =
                p.open(folder + "\\Fichier" + std::to_string(i) + ".txt", kv::OpenMode::Create);
            if (!file || !file->write(payload, sizeof payload) || !file->close()) return 1;
        }
    }
    const double platform = secondsSince(start);

    std::printf("%d files in %d folders: plain %.3f s, platform %.3f s (x%.1f)\n", files, folders,
                plain, platform, platform / plain);
    p.resetDriveMap();
    fs::remove_all(root);
    return 0;
}

// kv_bench_gzip CORPUS WORK [RUNS]: compresses and decompresses every file of
// CORPUS with the member codec and with a bare zlib streaming loop of
// the same settings (raw deflate, window 15, level 6, memory level 8,
// 16384-byte buffers, the same 10-byte header and trailer), in the same run,
// RUNS times (default 5), and prints the medians and the ratios. Then it
// measures the peak resident memory of a process that compresses and
// decompresses the smallest and the largest file, to show that it does not
// grow with the file.

#include <fcntl.h>
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
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "engine/MemberCodec.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

using namespace kvbench;

namespace {

constexpr std::size_t Chunk = 16384;

std::string windows(const fs::path& host) {
    auto w = kv::platform().toWindows(fs::absolute(host).string());
    if (!w) {
        std::fprintf(stderr, "no drive holds %s\n", host.c_str());
        std::exit(1);
    }
    return *w;
}

bool writeAll(int fd, const unsigned char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w <= 0) return false;
        data += w;
        n -= std::size_t(w);
    }
    return true;
}

// The bare loop: one member with the fixed header, as zlib's own example streams it.
bool bareCompress(const fs::path& source, const fs::path& destination) {
    const int in = ::open(source.c_str(), O_RDONLY);
    const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) return false;
    const bool ok = kvbench::bareDeflateMember(
        [&](unsigned char* buffer, std::size_t n) { return long(::read(in, buffer, n)); },
        [&](const unsigned char* buffer, std::size_t n) { return writeAll(out, buffer, n); });
    ::close(in);
    return ::close(out) == 0 && ok;
}

bool bareDecompress(const fs::path& source, const fs::path& destination) {
    const int in = ::open(source.c_str(), O_RDONLY);
    const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) return false;
    z_stream z{};
    inflateInit2(&z, -15);
    static unsigned char inBuf[Chunk], outBuf[Chunk];
    uLong crc = crc32(0, nullptr, 0);
    uLong length = 0;
    bool ok = true;
    bool header = true;
    int r = Z_OK;
    do {
        ssize_t n = ::read(in, inBuf, Chunk);
        if (n <= 0) {
            ok = false;
            break;
        }
        z.next_in = inBuf;
        z.avail_in = uInt(n);
        if (header) {  // our members: the fixed 10 bytes
            z.next_in += 10;
            z.avail_in -= 10;
            header = false;
        }
        do {
            z.next_out = outBuf;
            z.avail_out = Chunk;
            r = inflate(&z, Z_NO_FLUSH);
            if (r == Z_DATA_ERROR || r == Z_MEM_ERROR || r == Z_NEED_DICT) {
                ok = false;
                break;
            }
            const uInt have = Chunk - z.avail_out;
            crc = crc32(crc, outBuf, have);
            length += have;
            ok = ok && writeAll(out, outBuf, have);
        } while (z.avail_out == 0);
    } while (ok && r != Z_STREAM_END);
    // The trailer: the rest of this buffer, or the next read.
    unsigned char trailer[8];
    std::size_t got = std::min<std::size_t>(8, z.avail_in);
    std::memcpy(trailer, z.next_in, got);
    while (ok && got < 8) {
        const ssize_t n = ::read(in, trailer + got, 8 - got);
        if (n <= 0) ok = false;
        got += std::size_t(std::max<ssize_t>(n, 0));
    }
    inflateEnd(&z);
    uLong storedCrc = 0, storedLength = 0;
    for (int i = 0; i < 4; ++i) {
        storedCrc |= uLong(trailer[i]) << (8 * i);
        storedLength |= uLong(trailer[4 + i]) << (8 * i);
    }
    ok = ok && storedCrc == crc && storedLength == (length & 0xFFFFFFFFu);
    ::close(in);
    return ::close(out) == 0 && ok;
}

// The member codec over files opened as the program opens them; the
// decompression is the streaming reader (no length limit).
bool codec(const fs::path& source, const fs::path& destination, bool compress) {
    const auto in = kv::platform().open(windows(source), kv::OpenMode::Read);
    const auto out = kv::platform().open(windows(destination), kv::OpenMode::Create);
    if (!in || !out) return false;
    const bool ok = compress ? kv::MemberCodec::compress(*in, *out).done()
                             : kv::MemberCodec::inflate(*in, in->size(), out.get(), -1).fault ==
                                   kv::MemberCodec::MemberFault::None;
    return out->close() && ok;
}

bool sameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

// Peak RSS (KiB) of a fresh process that runs one mode over one file.
long peakRss(const char* self, const char* mode, const fs::path& file, const fs::path& work) {
    const Child child = runChild({self, mode, file.string(), work.string()});
    return child.status == 0 ? child.peakKiB : -1;
}

}  // namespace

int main(int argc, char** argv) {
    // Child modes for the memory measurement.
    if (argc == 4 &&
        (!std::strcmp(argv[1], "--one-codec") || !std::strcmp(argv[1], "--one-bare"))) {
        const fs::path work = argv[3];
        const bool ours = !std::strcmp(argv[1], "--one-codec");
        const bool ok = ours ? codec(argv[2], work / "rss.gz", true) &&
                                   codec(work / "rss.gz", work / "rss.out", false)
                             : bareCompress(argv[2], work / "rss.gz") &&
                                   bareDecompress(work / "rss.gz", work / "rss.out");
        return ok ? 0 : 1;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: kv_bench_gzip CORPUS WORK [RUNS]\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const fs::path work = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    fs::create_directories(work);

    std::vector<fs::path> files;
    uintmax_t totalBytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus))
        if (e.is_regular_file()) {
            files.push_back(e.path());
            totalBytes += e.file_size();
        }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "empty corpus %s\n", corpus.c_str());
        return 1;
    }
    std::printf("gzip stream: %zu files, %.1f MB, %d runs\n", files.size(), totalBytes / 1e6, runs);

    std::vector<double> oursC, bareC, oursD, bareD;
    uintmax_t packedBytes = 0;
    for (int run = 0; run < runs; ++run) {
        double tc = 0, bc = 0, td = 0, bd = 0;
        for (const auto& file : files) {
            // Alternate which side goes first so that neither always finds a warm cache.
            const bool oursFirst = (run % 2) == 0;
            for (int side = 0; side < 2; ++side) {
                const bool ours = (side == 0) == oursFirst;
                const fs::path packed = work / (ours ? "t.gz" : "b.gz");
                const fs::path plain = work / (ours ? "t.out" : "b.out");
                auto t0 = Clock::now();
                const bool c = ours ? codec(file, packed, true) : bareCompress(file, packed);
                auto t1 = Clock::now();
                const bool d = ours ? codec(packed, plain, false) : bareDecompress(packed, plain);
                auto t2 = Clock::now();
                if (!c || !d) {
                    std::fprintf(stderr, "%s failed on %s\n", ours ? "codec" : "bare loop",
                                 file.c_str());
                    return 1;
                }
                (ours ? tc : bc) += std::chrono::duration<double>(t1 - t0).count();
                (ours ? td : bd) += std::chrono::duration<double>(t2 - t1).count();
            }
            if (run == 0) {
                // Same settings, same member: the two must agree byte for byte.
                if (!sameBytes(work / "t.gz", work / "b.gz") || !sameBytes(work / "t.out", file)) {
                    std::fprintf(stderr, "outputs differ on %s\n", file.c_str());
                    return 1;
                }
                packedBytes += fs::file_size(work / "t.gz");
            }
        }
        oursC.push_back(tc);
        bareC.push_back(bc);
        oursD.push_back(td);
        bareD.push_back(bd);
        std::printf(
            "  run %d: compress codec %.2f s, bare %.2f s; decompress codec %.2f s, bare %.2f s\n",
            run + 1, tc, bc, td, bd);
        std::fflush(stdout);
    }
    const double mb = totalBytes / 1e6;
    std::printf("compressed to %.1f%% of the corpus (members identical to the bare loop's)\n",
                100.0 * double(packedBytes) / double(totalBytes));
    std::printf(
        "compress   median: codec %.2f s (%.1f MB/s), bare %.2f s (%.1f MB/s), ratio %.3f\n",
        median(oursC), mb / median(oursC), median(bareC), mb / median(bareC),
        median(oursC) / median(bareC));
    std::printf(
        "decompress median: codec %.2f s (%.1f MB/s), bare %.2f s (%.1f MB/s), ratio %.3f\n",
        median(oursD), mb / median(oursD), median(bareD), mb / median(bareD),
        median(oursD) / median(bareD));

    const auto bySize = [](const fs::path& a, const fs::path& b) {
        return fs::file_size(a) < fs::file_size(b);
    };
    const fs::path smallest = *std::min_element(files.begin(), files.end(), bySize);
    const fs::path largest = *std::max_element(files.begin(), files.end(), bySize);
    for (const fs::path& f : {smallest, largest})
        std::printf("peak RSS, %10ju bytes: codec %ld KiB, bare loop %ld KiB\n", fs::file_size(f),
                    peakRss("/proc/self/exe", "--one-codec", f, work),
                    peakRss("/proc/self/exe", "--one-bare", f, work));
    for (const char* name : {"t.gz", "b.gz", "t.out", "b.out", "rss.gz", "rss.out"})
        fs::remove(work / name);
    return 0;
}

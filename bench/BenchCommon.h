#pragma once
// What the benchmarks share: wall-clock timing, the median and best of runs,
// a child process timed with its peak memory, a Ui that answers every
// message with Ok and shows no progress, and the bare compression loop the
// program is measured against.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/Ui.h"

namespace kvbench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The median of the runs (the mean of the two middle ones for an even count); 0 for none.
inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

inline double best(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// The bare compression loop, as zlib's own example streams it: one member with
// the fixed 10-byte header, raw deflate at level 6 through 16 KiB buffers, then
// the CRC-32 and length trailer. read(buffer, n) gives the bytes read, 0 at the
// end or -1 on an error; write(buffer, n) gives false on a failure. The result
// is false when a read or a write failed.
template <class Read, class Write>
bool bareDeflateMember(Read read, Write write) {
    constexpr std::size_t Chunk = 16384;
    static unsigned char inBuf[Chunk], outBuf[Chunk];
    const unsigned char header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0};
    bool ok = write(header, 10);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    uLong crc = crc32(0, nullptr, 0), length = 0;
    int flush;
    do {
        const long n = read(inBuf, Chunk);
        if (n < 0) {
            ok = false;
            break;
        }
        crc = crc32(crc, inBuf, uInt(n));
        length += uLong(n);
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = inBuf;
        z.avail_in = uInt(n);
        do {
            z.next_out = outBuf;
            z.avail_out = Chunk;
            deflate(&z, flush);
            ok = ok && write(outBuf, Chunk - z.avail_out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    unsigned char trailer[8];
    for (int i = 0; i < 4; ++i) {
        trailer[i] = (unsigned char)(crc >> (8 * i));
        trailer[4 + i] = (unsigned char)(length >> (8 * i));
    }
    return write(trailer, 8) && ok;
}

struct Child {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;  // the exit status, -1 when it did not exit
};

// Runs argv (argv[0] a path, or a program name looked up in PATH) with the
// extra environment ("NAME=value"), timing it and reading its peak RSS. Its
// output is dropped unless KV_BENCH_VERBOSE is set.
inline Child runChild(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {}) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (!getenv("KV_BENCH_VERBOSE")) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Child c;
    c.seconds = secondsSince(start);
    c.peakKiB = usage.ru_maxrss;
    c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return c;
}

class QuietUi : public kv::Ui {
  public:
    kv::Answer message(kv::MessageKind, const std::string&, kv::Buttons) override {
        return kv::Answer::Ok;
    }
    void setLabel(kv::ProgressLabel, const std::string&) override {}
    void setOverallRange(int) override {}
    void setOverall(int) override {}
    void setFilePercent(int) override {}
    void pump() override {}
    bool cancelRequested() override { return false; }
    bool keepGoing() override { return true; }
};

}  // namespace kvbench

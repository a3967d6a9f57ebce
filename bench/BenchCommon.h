#pragma once
// What the benchmarks share: wall-clock timing, the median and best of runs,
// a child process timed with its peak memory, and a Ui that answers every
// message with Ok and shows no progress.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

struct Child {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;  // the exit status, -1 when it did not exit
};

// Runs argv (argv[0] a path) with the extra environment ("NAME=value"),
// timing it and reading its peak RSS. Its output is dropped unless
// KV_BENCH_VERBOSE is set.
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
        execv(args[0], args.data());
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

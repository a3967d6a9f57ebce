#pragma once
// ProgressMeter: how far a long run has got and how much is left, the same
// figures wherever they are shown (kvr's progress line, the progress dialog
// and the main window's status bar):
//
//   12/340 fichiers  1,20 Mo/80,00 Mo  3,40 Mo/s  reste 23 s
//
// files done of the total, bytes done of the total, the rate and the time
// left from the rate so far (both after the first second).
//
// A run reports the row it is on (setRow, as Ui::setOverall does) and the
// percentage of that row's file (setPercent, as Ui::setFilePercent does); the
// meter turns them into bytes from the sizes of the rows it was started with,
// in the order the run visits them.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "util/Format.h"

namespace kv {

struct RunAmounts {
    int64_t filesDone = 0;
    int64_t files = 0;  // 0: unknown, only the files done are shown
    int64_t bytesDone = 0;
    int64_t bytes = 0;  // 0: unknown, the rate goes by files
};

class ProgressMeter {
  public:
    // Starts a run over rows of these sizes (negative ones count as 0), in
    // the order it visits them; the clock starts now.
    void start(const std::vector<int64_t>& rowBytes);
    // Starts a run of that many files whose sizes are not known.
    void start(int64_t files);
    bool started() const { return started_; }
    void stop() { started_ = false; }

    // The file count, for a run started without one.
    void setFiles(int64_t files) { files_ = files; }
    // Row `row` is under way (the rows before it are done); its file is at 0 %.
    void setRow(int row);
    // The row under way is at this percentage (0 to 100) of its file.
    void setPercent(int percent);

    RunAmounts amounts() const;
    double seconds() const;
    // The line for the amounts now.
    std::string text(const LocaleSeparators& separators) const;

    // The line: seconds since the start; numbers with the given separators.
    // Counts past their total are shown at the total.
    static std::string text(RunAmounts amounts, double seconds, const LocaleSeparators& separators);

  private:
    bool started_ = false;
    std::chrono::steady_clock::time_point start_;
    std::vector<int64_t> before_;  // bytes of the rows before row i; empty without sizes
    int64_t files_ = 0;
    int row_ = 0;
    int percent_ = 0;
};

}  // namespace kv

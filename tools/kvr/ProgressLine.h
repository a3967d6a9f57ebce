#pragma once
// ProgressLine: the one line kvr keeps up to date on standard error while a
// long command runs, when standard error is a terminal:
//
//   12/340 fichiers  1,20 Mo/80,00 Mo  3,40 Mo/s  reste 23 s
//
// The figures are kv::ProgressMeter's (util/ProgressMeter.h), the progress
// dialog's too. It is rewritten in place (carriage return, erase to the end
// of the line), at most ten times a second, cut to the terminal's width so
// that it never wraps, and erased before anything else is written to the
// terminal and when it ends. Numbers take the user's separators (French ones
// under the C or POSIX locale).

#include <chrono>
#include <cstdint>
#include <string>

#include "util/Format.h"
#include "util/ProgressMeter.h"

namespace kvr {

class ProgressLine {
  public:
    // files, bytes: the totals (0 when unknown: without sizes the rate goes by
    // files; without a file count only the files done are shown).
    ProgressLine(int64_t files, int64_t bytes);
    ~ProgressLine();  // erases the line
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // True when a progress line is wanted: standard error is a terminal and
    // -q was not given.
    static bool wanted();
    static void setQuiet(bool quiet);

    void setFiles(int64_t files) { files_ = files; }
    // Redraws when the last drawing is old enough.
    void update(int64_t filesDone, int64_t bytesDone);
    // Erases the line from the terminal (the next update draws it again).
    void erase();
    // Erases the line of the ProgressLine alive now, if any: called before a
    // message goes to the terminal.
    static void eraseCurrent();

  private:
    int64_t files_;
    int64_t bytes_;
    kv::LocaleSeparators separators_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawn_{};
    bool shown_ = false;
};

}  // namespace kvr

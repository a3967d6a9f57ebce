#include "tools/kvr/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace kvr {

namespace {

bool quiet = false;
ProgressLine* current = nullptr;

constexpr auto RedrawEvery = std::chrono::milliseconds(100);

// Columns of the terminal on standard error; 80 when it does not say.
std::size_t terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// The text cut to at most `columns` characters (UTF-8 sequences kept whole).
std::string cutTo(const std::string& text, std::size_t columns) {
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (shown == columns) return text.substr(0, i);
        ++shown;
    }
    return text;
}

void writeError(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

ProgressLine::ProgressLine(int64_t files, int64_t bytes)
    : files_(files),
      bytes_(bytes),
      separators_(kv::LocaleSeparators::fromEnvironment()),
      start_(std::chrono::steady_clock::now()) {
    current = this;
}

ProgressLine::~ProgressLine() {
    erase();
    if (current == this) current = nullptr;
}

bool ProgressLine::wanted() {
    return !quiet && ::isatty(STDERR_FILENO) == 1;
}

void ProgressLine::setQuiet(bool on) {
    quiet = on;
}

void ProgressLine::update(int64_t filesDone, int64_t bytesDone) {
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - drawn_ < RedrawEvery) return;
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::size_t width = terminalWidth();
    const std::string line =
        kv::ProgressMeter::text({filesDone, files_, bytesDone, bytes_}, seconds, separators_);
    // One column is left free: some terminals wrap as soon as the last one is written.
    writeError("\r" + cutTo(line, width > 1 ? width - 1 : width) + "\x1b[K");
    shown_ = true;
}

void ProgressLine::erase() {
    if (!shown_) return;
    writeError("\r\x1b[K");
    shown_ = false;
}

void ProgressLine::eraseCurrent() {
    if (current) current->erase();
}

}  // namespace kvr

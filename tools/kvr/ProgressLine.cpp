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

// A byte count in the unit its total calls for: "1,20 Mo".
std::string sizeText(int64_t bytes, int64_t total, const kv::LocaleSeparators& separators) {
    struct Unit {
        double size;
        const char* name;
    };
    static const Unit units[] = {{1e9, " Go"}, {1e6, " Mo"}, {1e3, " Ko"}};
    for (const Unit& unit : units)
        if (total >= unit.size || &unit == &units[2])
            return kv::formatNumber2(static_cast<double>(bytes) / unit.size, separators) +
                   unit.name;
    return {};
}

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
    const std::string line = text(filesDone, files_, bytesDone, bytes_, seconds, separators_);
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

std::string ProgressLine::text(int64_t filesDone, int64_t files, int64_t bytesDone, int64_t bytes,
                               double seconds, const kv::LocaleSeparators& separators) {
    filesDone = std::max<int64_t>(filesDone, 0);
    if (files > 0) filesDone = std::min(filesDone, files);
    std::string line = std::to_string(filesDone) +
                       (files > 0 ? "/" + std::to_string(files) : std::string()) + " fichiers";
    if (bytes > 0) {
        bytesDone = std::clamp<int64_t>(bytesDone, 0, bytes);
        line += "  " + sizeText(bytesDone, bytes, separators) + "/" +
                sizeText(bytes, bytes, separators);
    }
    if (seconds < 1.0) return line;
    // The rate and what is left go by bytes when the sizes are known, by
    // files otherwise.
    const double done = bytes > 0 ? static_cast<double>(bytesDone) : static_cast<double>(filesDone);
    const double total = bytes > 0 ? static_cast<double>(bytes) : static_cast<double>(files);
    if (total <= 0) return line;
    const double rate = done / seconds;
    if (bytes > 0) {
        const int64_t perSecond = static_cast<int64_t>(rate);
        line += "  " + sizeText(perSecond, perSecond, separators) + "/s";
    }
    if (rate > 0 && done < total)
        line += "  reste " + kv::formatDuration(static_cast<int64_t>((total - done) / rate + 0.5));
    return line;
}

}  // namespace kvr

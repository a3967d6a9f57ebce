#include "util/ProgressMeter.h"

#include <algorithm>

namespace kv {

namespace {

// A byte count in the unit its total calls for: "1,20 Mo".
std::string sizeText(int64_t bytes, int64_t total, const LocaleSeparators& separators) {
    struct Unit {
        double size;
        const char* name;
    };
    static const Unit units[] = {{1e9, " Go"}, {1e6, " Mo"}, {1e3, " Ko"}};
    for (const Unit& unit : units)
        if (total >= unit.size || &unit == &units[2])
            return formatNumber2(static_cast<double>(bytes) / unit.size, separators) + unit.name;
    return {};
}

}  // namespace

void ProgressMeter::start(const std::vector<int64_t>& rowBytes) {
    before_.assign(1, 0);
    for (const int64_t bytes : rowBytes)
        before_.push_back(before_.back() + std::max<int64_t>(0, bytes));
    files_ = static_cast<int64_t>(rowBytes.size());
    row_ = 0;
    percent_ = 0;
    start_ = std::chrono::steady_clock::now();
    started_ = true;
}

void ProgressMeter::start(int64_t files) {
    before_.clear();
    files_ = files;
    row_ = 0;
    percent_ = 0;
    start_ = std::chrono::steady_clock::now();
    started_ = true;
}

void ProgressMeter::setRow(int row) {
    row_ = std::max(row, 0);
    percent_ = 0;
}

void ProgressMeter::setPercent(int percent) {
    percent_ = std::clamp(percent, 0, 100);
}

RunAmounts ProgressMeter::amounts() const {
    RunAmounts amounts;
    amounts.files = files_;
    amounts.filesDone = row_;
    if (before_.empty()) return amounts;
    const std::size_t last = before_.size() - 1;
    const std::size_t row = std::min<std::size_t>(static_cast<std::size_t>(row_), last);
    amounts.bytes = before_.back();
    amounts.bytesDone = before_[row];
    if (row < last) amounts.bytesDone += (before_[row + 1] - before_[row]) * percent_ / 100;
    return amounts;
}

double ProgressMeter::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string ProgressMeter::text(const LocaleSeparators& separators) const {
    return text(amounts(), seconds(), separators);
}

std::string ProgressMeter::text(RunAmounts a, double seconds, const LocaleSeparators& separators) {
    a.filesDone = std::max<int64_t>(a.filesDone, 0);
    if (a.files > 0) a.filesDone = std::min(a.filesDone, a.files);
    std::string line = std::to_string(a.filesDone) +
                       (a.files > 0 ? "/" + std::to_string(a.files) : std::string()) + " fichiers";
    if (a.bytes > 0) {
        a.bytesDone = std::clamp<int64_t>(a.bytesDone, 0, a.bytes);
        line += "  " + sizeText(a.bytesDone, a.bytes, separators) + "/" +
                sizeText(a.bytes, a.bytes, separators);
    }
    if (seconds < 1.0) return line;
    // The rate and what is left go by bytes when the sizes are known, by
    // files otherwise.
    const double done =
        a.bytes > 0 ? static_cast<double>(a.bytesDone) : static_cast<double>(a.filesDone);
    const double total = a.bytes > 0 ? static_cast<double>(a.bytes) : static_cast<double>(a.files);
    if (total <= 0) return line;
    const double rate = done / seconds;
    if (a.bytes > 0) {
        const int64_t perSecond = static_cast<int64_t>(rate);
        line += "  " + sizeText(perSecond, perSecond, separators) + "/s";
    }
    if (rate > 0 && done < total)
        line += "  reste " + formatDuration(static_cast<int64_t>((total - done) / rate + 0.5));
    return line;
}

}  // namespace kv

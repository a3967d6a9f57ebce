#include "platform/DosTime.h"

#include <mutex>

namespace kv {

namespace {

constexpr int FirstYear = 1980;
constexpr int LastYear = 2107;

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

bool validDateTime(const DateTime& dt) {
    return dt.month >= 1 && dt.month <= 12 && dt.day >= 1 &&
           dt.day <= daysInMonth(dt.year, dt.month) && dt.hour >= 0 && dt.hour < 24 &&
           dt.minute >= 0 && dt.minute < 60 && dt.second >= 0 && dt.second < 60;
}

}  // namespace

std::optional<DateTime> fromDosDateTime(int32_t dos) {
    uint32_t v = static_cast<uint32_t>(dos);
    DateTime dt;
    dt.second = static_cast<int>(v & 0x1F) * 2;
    dt.minute = static_cast<int>((v >> 5) & 0x3F);
    dt.hour = static_cast<int>((v >> 11) & 0x1F);
    dt.day = static_cast<int>((v >> 16) & 0x1F);
    dt.month = static_cast<int>((v >> 21) & 0x0F);
    dt.year = FirstYear + static_cast<int>((v >> 25) & 0x7F);
    if (!validDateTime(dt)) return std::nullopt;
    return dt;
}

std::optional<int32_t> toDosDateTime(const DateTime& dt) {
    if (dt.year < FirstYear || dt.year > LastYear || !validDateTime(dt)) return std::nullopt;
    uint32_t v = static_cast<uint32_t>(dt.year - FirstYear) << 25 |
                 static_cast<uint32_t>(dt.month) << 21 | static_cast<uint32_t>(dt.day) << 16 |
                 static_cast<uint32_t>(dt.hour) << 11 | static_cast<uint32_t>(dt.minute) << 5 |
                 static_cast<uint32_t>(dt.second / 2);
    return static_cast<int32_t>(v);
}

DateTime localNow() {
    return localDateTime(std::time(nullptr));
}

DateTime localDateTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime dt;
    dt.year = tm.tm_year + 1900;
    dt.month = tm.tm_mon + 1;
    dt.day = tm.tm_mday;
    dt.hour = tm.tm_hour;
    dt.minute = tm.tm_min;
    dt.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return dt;
}

std::time_t localTimeOf(const DateTime& dt) {
    // The C library's mktime keeps a static guess of the local offset that it
    // reads and writes unguarded; the restore workers give files their dates
    // side by side, so the calls take turns.
    static std::mutex turns;
    const std::lock_guard<std::mutex> lock(turns);
    std::tm tm{};
    tm.tm_year = dt.year - 1900;
    tm.tm_mon = dt.month - 1;
    tm.tm_mday = dt.day;
    tm.tm_hour = dt.hour;
    tm.tm_min = dt.minute;
    tm.tm_sec = dt.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

int32_t dosFromTime(std::time_t t) {
    const DateTime dt = localDateTime(t);
    if (dt.year < FirstYear) return *toDosDateTime(DateTime{});
    if (dt.year > LastYear) return *toDosDateTime(DateTime{LastYear, 12, 31, 23, 59, 59});
    return toDosDateTime(dt).value_or(*toDosDateTime(DateTime{}));
}

int32_t dosFromNs(int64_t ns) {
    int64_t seconds = ns / 1000000000;
    if (ns % 1000000000 < 0) --seconds;
    return dosFromTime(static_cast<std::time_t>(seconds));
}

std::optional<std::time_t> timeFromDos(int32_t dos) {
    const std::optional<DateTime> dt = fromDosDateTime(dos);
    if (!dt) return std::nullopt;
    const std::time_t t = localTimeOf(*dt);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

}  // namespace kv

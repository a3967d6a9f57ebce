#include "util/Format.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace kv {

namespace {

// Digits of |value| rounded half away from zero to `decimals` places, as the
// integer and fraction parts. Values beyond what a 64-bit integer holds fall
// back to printf's own rounding (no byte count gets there).
void splitRounded(double value, int decimals, std::string& intPart, std::string& fracPart) {
    double scale = decimals == 2 ? 100.0 : 1.0;
    double scaled = std::fabs(value) * scale;
    char buf[400];
    if (scaled < 9.0e15) {
        long long n = std::llround(scaled);
        long long whole = n / static_cast<long long>(scale);
        long long frac = n % static_cast<long long>(scale);
        std::snprintf(buf, sizeof buf, "%lld", whole);
        intPart = buf;
        if (decimals == 2) {
            std::snprintf(buf, sizeof buf, "%02lld", frac);
            fracPart = buf;
        } else {
            fracPart.clear();
        }
        return;
    }
    std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value));
    std::string s = buf;
    auto dot = s.find('.');
    intPart = s.substr(0, dot);
    fracPart = dot == std::string::npos ? std::string() : s.substr(dot + 1);
}

std::string group(const std::string& digits, const std::string& thousands) {
    std::string out;
    size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += thousands;
        out += digits[i];
    }
    return out;
}

std::string formatGrouped(double value, int decimals, const LocaleSeparators& sep) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    std::string intPart, fracPart;
    splitRounded(value, decimals, intPart, fracPart);
    // A value that rounds to zero shows no sign.
    bool negative = value < 0 && (intPart.find_first_not_of('0') != std::string::npos ||
                                  fracPart.find_first_not_of('0') != std::string::npos);
    std::string out = negative ? "-" : "";
    out += group(intPart, sep.thousands);
    if (decimals > 0) out += sep.decimal + fracPart;
    return out;
}

std::string two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string four(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", v);
    return buf;
}

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

LocaleSeparators LocaleSeparators::french() {
    LocaleSeparators s;
    s.decimal = ",";
    s.thousands = "\xC2\xA0";
    s.date = "/";
    s.time = ":";
    return s;
}

std::string formatNumber2(double value, const LocaleSeparators& sep) {
    return formatGrouped(value, 2, sep);
}

std::string formatNumber0(double value, const LocaleSeparators& sep) {
    return formatGrouped(value, 0, sep);
}

std::optional<DateTime> fromDosDateTime(int32_t dos) {
    uint32_t v = static_cast<uint32_t>(dos);
    DateTime dt;
    dt.second = static_cast<int>(v & 0x1F) * 2;
    dt.minute = static_cast<int>((v >> 5) & 0x3F);
    dt.hour = static_cast<int>((v >> 11) & 0x1F);
    dt.day = static_cast<int>((v >> 16) & 0x1F);
    dt.month = static_cast<int>((v >> 21) & 0x0F);
    dt.year = 1980 + static_cast<int>((v >> 25) & 0x7F);
    if (!validDateTime(dt)) return std::nullopt;
    return dt;
}

std::optional<int32_t> toDosDateTime(const DateTime& dt) {
    if (dt.year < 1980 || dt.year > 2107 || !validDateTime(dt)) return std::nullopt;
    uint32_t v = static_cast<uint32_t>(dt.year - 1980) << 25 |
                 static_cast<uint32_t>(dt.month) << 21 | static_cast<uint32_t>(dt.day) << 16 |
                 static_cast<uint32_t>(dt.hour) << 11 | static_cast<uint32_t>(dt.minute) << 5 |
                 static_cast<uint32_t>(dt.second / 2);
    return static_cast<int32_t>(v);
}

std::string formatDateTime(const DateTime& dt, const LocaleSeparators& sep) {
    return two(dt.day) + sep.date + two(dt.month) + sep.date + four(dt.year) + " " + two(dt.hour) +
           sep.time + two(dt.minute);
}

std::string formatDateBracket(const DateTime& dt, const LocaleSeparators& sep) {
    return "[" + two(dt.day) + sep.date + two(dt.month) + sep.date + four(dt.year) + "]";
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

}  // namespace kv

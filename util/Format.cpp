#include "util/Format.h"

#include <cmath>
#include <cstdio>

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

std::string formatDateTime(const DateTime& dt, const LocaleSeparators& sep) {
    return two(dt.day) + sep.date + two(dt.month) + sep.date + four(dt.year) + " " + two(dt.hour) +
           sep.time + two(dt.minute);
}

std::string formatDosDateTime(int32_t dos, const LocaleSeparators& sep) {
    const std::optional<DateTime> date = fromDosDateTime(dos);
    return date ? formatDateTime(*date, sep) : std::string();
}

std::string formatDateBracket(const DateTime& dt, const LocaleSeparators& sep) {
    return "[" + two(dt.day) + sep.date + two(dt.month) + sep.date + four(dt.year) + "]";
}

}  // namespace kv

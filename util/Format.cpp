#include "util/Format.h"

#include <langinfo.h>
#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

// The first character of a date or time format that is not part of a
// conversion ("%d/%m/%Y" gives "/"); fallback when there is none.
std::string separatorOf(const char* format, const char* fallback) {
    for (const char* c = format; c && *c; ++c) {
        if (*c == '%') {
            if (c[1] == 0) break;
            ++c;
            if (*c == 'E' || *c == 'O') ++c;
            continue;
        }
        if (*c != ' ') return std::string(c, 1);
    }
    return fallback;
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

std::string chosenLocale(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

LocaleSeparators LocaleSeparators::fromEnvironment() {
    const std::string numeric = chosenLocale("LC_NUMERIC");
    const std::string time = chosenLocale("LC_TIME");
    LocaleSeparators s = french();
    if (!isNoLocale(numeric)) {
        if (const locale_t locale = newlocale(LC_NUMERIC_MASK, numeric.c_str(), nullptr)) {
            s.decimal = nl_langinfo_l(RADIXCHAR, locale);
            s.thousands = nl_langinfo_l(THOUSEP, locale);
            freelocale(locale);
        }
    }
    if (!isNoLocale(time)) {
        if (const locale_t locale = newlocale(LC_TIME_MASK, time.c_str(), nullptr)) {
            s.date = separatorOf(nl_langinfo_l(D_FMT, locale), "/");
            s.time = separatorOf(nl_langinfo_l(T_FMT, locale), ":");
            freelocale(locale);
        }
    }
    return s;
}

bool isNoLocale(const std::string& name) {
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

std::string formatDuration(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const int64_t hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    std::string out;
    if (hours > 0) out += std::to_string(hours) + " h ";
    if (hours > 0 || minutes > 0) out += std::to_string(minutes) + " min ";
    return out + std::to_string(rest) + " s";
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

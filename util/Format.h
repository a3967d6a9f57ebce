#pragma once
// Number and date formatting for what the user sees. The separators come from
// the user's locale, read once at start-up by the program (the GUI through Qt,
// kvr from the C locale); every routine takes them as an argument so that tests
// pin them.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kv {

struct LocaleSeparators {
    std::string decimal = ".";    // UTF-8: a French locale gives ","
    std::string thousands = ",";  // may be empty or a no-break space
    std::string date = "/";
    std::string time = ":";

    static LocaleSeparators french();  // "," decimal, U+00A0 thousands, "/" and ":"
};

// "%.2n": two decimals with thousands grouping. 4000/1000.0 -> "4.00" / "4,00".
std::string formatNumber2(double value, const LocaleSeparators& sep);
// "%0.n": no decimals, thousands grouping (rounded to nearest).
std::string formatNumber0(double value, const LocaleSeparators& sep);

struct DateTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// MS-DOS date/time (bits 0-4 seconds/2, 5-10 minutes, 11-15 hours, 16-20 day,
// 21-24 month, 25-31 years since 1980). nullopt when the value is not a valid date.
std::optional<DateTime> fromDosDateTime(int32_t dos);
// nullopt outside 1980..2107.
std::optional<int32_t> toDosDateTime(const DateTime& dt);

// "dd/mm/yyyy hh:nn" with the locale's date and time separators.
std::string formatDateTime(const DateTime& dt, const LocaleSeparators& sep);
// "[dd/mm/yyyy]" with the locale's date separator.
std::string formatDateBracket(const DateTime& dt, const LocaleSeparators& sep);

// The local time now (kvr, the GUI); tests pass their own DateTime instead.
DateTime localNow();
// The local time of a moment, and the moment of a local time (mktime's rules:
// fields out of range carry over, a time the clock skips is normalised).
DateTime localDateTime(std::time_t t);
std::time_t localTimeOf(const DateTime& dt);

}  // namespace kv

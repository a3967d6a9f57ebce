#pragma once
// Number and date formatting for what the user sees (the dates themselves,
// DateTime and its MS-DOS form, are platform/DosTime.h). The separators come from
// the user's locale, read once at start-up by the program (the GUI through Qt,
// kvr from the C locale); every routine takes them as an argument so that tests
// pin them.

#include <cstdint>
#include <string>

#include "platform/DosTime.h"

namespace kv {

struct LocaleSeparators {
    std::string decimal = ".";    // UTF-8: a French locale gives ","
    std::string thousands = ",";  // may be empty or a no-break space
    std::string date = "/";
    std::string time = ":";

    static LocaleSeparators french();  // "," decimal, U+00A0 thousands, "/" and ":"
    // The separators of the locale the environment names (LC_ALL, then
    // LC_NUMERIC and LC_TIME, then LANG), for the programs without Qt. French
    // ones when the user chose no locale (none set, C or POSIX, with or
    // without a code set) or chose one this system does not have: the program
    // speaks French.
    static LocaleSeparators fromEnvironment();
};

// The locale the environment names for a category ("LC_NUMERIC", "LC_TIME"):
// LC_ALL, then the category's own variable, then LANG; empty when none is set.
std::string chosenLocale(const char* category);

// True when a locale name means that the user chose none: empty, "C",
// "POSIX", or "C." followed by a code set ("C.UTF-8").
bool isNoLocale(const std::string& name);

// "%.2n": two decimals with thousands grouping. 4000/1000.0 -> "4.00" / "4,00".
std::string formatNumber2(double value, const LocaleSeparators& sep);
// "%0.n": no decimals, thousands grouping (rounded to nearest).
std::string formatNumber0(double value, const LocaleSeparators& sep);

// "dd/mm/yyyy hh:nn" with the locale's date and time separators.
std::string formatDateTime(const DateTime& dt, const LocaleSeparators& sep);
// The same for a date in MS-DOS form; "" when it is not a valid date.
std::string formatDosDateTime(int32_t dos, const LocaleSeparators& sep);
// "[dd/mm/yyyy]" with the locale's date separator.
std::string formatDateBracket(const DateTime& dt, const LocaleSeparators& sep);

// A duration in words: "4 s", "1 min 12 s", "2 h 0 min 5 s" (negative: 0 s).
std::string formatDuration(int64_t seconds);

}  // namespace kv

#pragma once
// MS-DOS date and time, the form every last-write time takes in the program
// (find entries, archive records, the catalog), and the plain local date and
// time it stands for. The one codec of the program: the platform layer turns
// host times into it and back, the formatting routines (util/Format.h) turn
// the dates into text.
//
// The MS-DOS form: bits 0-4 seconds/2, 5-10 minutes, 11-15 hours, 16-20 day,
// 21-24 month, 25-31 years since 1980, in local time.

#include <cstdint>
#include <ctime>
#include <optional>

namespace kv {

struct DateTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// nullopt when the value is not a valid date (a month 0 or 13, 30 February, ...).
std::optional<DateTime> fromDosDateTime(int32_t dos);
// nullopt outside 1980..2107 or for an invalid date; odd seconds round down.
std::optional<int32_t> toDosDateTime(const DateTime& dt);

// The local time now (kvr, the GUI); tests pass their own DateTime instead.
DateTime localNow();
// The local time of a moment (a leap second counts as 59), and the moment of a
// local time (mktime's rules: fields out of range carry over, a time the clock
// skips is normalised).
DateTime localDateTime(std::time_t t);
std::time_t localTimeOf(const DateTime& dt);

// A host time in MS-DOS form, held to what the form can say: a time before
// 1980 gives 1980-01-01 00:00:00, one after 2107 the last second of 2107.
int32_t dosFromTime(std::time_t t);
// The same of a host time in nanoseconds since 1970 (PathInfo's times), as
// the folder listings give it: the second it falls in.
int32_t dosFromNs(int64_t ns);
// The moment an MS-DOS time stands for; nullopt when it is not a valid date.
std::optional<std::time_t> timeFromDos(int32_t dos);

}  // namespace kv

#pragma once
// The dated comment: with DateComment on, every archiving run puts today's
// date "[dd/mm/yyyy]" at the head of the archive's comment. A comment that
// already starts with a date prefix ("[", two digits, a separator, two digits,
// a separator, four digits, "]", whatever the separators, counted in
// characters) gets the new date in its place; any other comment is the user's
// own text and keeps every character, after the date and one blank (none when
// it is empty or starts with a blank). The header cuts the result to its field.

#include <string>

namespace kv {

// The comment with date (today's bracketed date) at its head, by the rule above.
std::string datedComment(const std::string& date, const std::string& comment);

}  // namespace kv

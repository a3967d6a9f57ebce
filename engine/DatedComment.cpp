#include "engine/DatedComment.h"

#include <array>
#include <string_view>

namespace kv {

namespace {

// The width of a date prefix "[dd/mm/yyyy]" in characters.
constexpr std::size_t DatePrefixLength = 12;

bool isDigit(std::string_view c) {
    return c.size() == 1 && c[0] >= '0' && c[0] <= '9';
}

// Any one character but a digit or a bracket separates (a locale's separator
// may be a blank, a dot, a dash or a character of several bytes).
bool isSeparator(std::string_view c) {
    return !isDigit(c) && c != "[" && c != "]";
}

// The length in bytes of the date prefix comment starts with, or 0 when it
// does not start with one.
std::size_t datePrefixBytes(const std::string& comment) {
    std::array<std::string_view, DatePrefixLength> chars;
    std::size_t at = 0;
    for (std::string_view& c : chars) {
        if (at >= comment.size()) return 0;
        std::size_t n = 1;
        while (at + n < comment.size() &&
               (static_cast<unsigned char>(comment[at + n]) & 0xC0) == 0x80)
            ++n;
        c = std::string_view(comment).substr(at, n);
        at += n;
    }
    if (chars[0] != "[" || chars[11] != "]" || !isSeparator(chars[3]) || !isSeparator(chars[6]))
        return 0;
    for (std::size_t i : {1, 2, 4, 5, 7, 8, 9, 10})
        if (!isDigit(chars[i])) return 0;
    return at;
}

}  // namespace

std::string datedComment(const std::string& date, const std::string& comment) {
    if (const std::size_t prefix = datePrefixBytes(comment)) return date + comment.substr(prefix);
    if (comment.empty() || comment.front() == ' ') return date + comment;
    return date + " " + comment;
}

}  // namespace kv

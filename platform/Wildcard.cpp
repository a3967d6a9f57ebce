#include "platform/Wildcard.h"

#include <string>
#include <vector>

#include "text/Text.h"

namespace kv {
namespace {

// Folded code points of a UTF-8 text, one per character.
std::u32string foldedChars(std::string_view s) {
    const std::string folded = text::foldKey(s);
    std::u32string out;
    out.reserve(folded.size());
    for (std::size_t i = 0; i < folded.size();) {
        const auto b = static_cast<unsigned char>(folded[i]);
        std::size_t len = 1;
        if (b >= 0xF0 && b <= 0xF4)
            len = 4;
        else if (b >= 0xE0)
            len = 3;
        else if (b >= 0xC2 && b < 0xE0)
            len = 2;
        if (b >= 0xF5 || i + len > folded.size()) len = 1;
        for (std::size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(folded[i + k]) & 0xC0) != 0x80) {
                len = 1;
                break;
            }
        }
        char32_t cp = 0;
        for (std::size_t k = 0; k < len; ++k)
            cp = (cp << 8) | static_cast<unsigned char>(folded[i + k]);
        out += cp;  // the raw bytes of the sequence: equal characters give equal values
        i += len;
    }
    return out;
}

// Iterative glob with backtracking to the last '*': linear in practice.
bool globMatch(const std::u32string& p, const std::u32string& n) {
    std::size_t pi = 0, ni = 0;
    std::size_t starP = std::u32string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

}  // namespace

bool hasWildcards(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*") return true;
    const std::u32string p = foldedChars(pattern);
    const std::u32string n = foldedChars(name);
    if (globMatch(p, n)) return true;
    if (!p.empty() && p.back() == U'.' && name.find('.') == std::string_view::npos)
        return globMatch(p.substr(0, p.size() - 1), n);
    return false;
}

}  // namespace kv

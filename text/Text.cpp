#include "text/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kv::text {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same value,
// so that every byte decodes and encodes back to itself.
constexpr std::array<char32_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kNotInCodePage = 0xFFFFFFFF;

// A byte that is not part of a valid sequence decodes to this range (one
// "character" per byte), so invalid input keeps its bytes and its order.
constexpr char32_t kInvalidBase = 0xDC00;

// Decodes one code point at bytes[i], advancing i. Invalid bytes (bad lead,
// truncated, overlong, surrogate, above U+10FFFF) come back one by one as
// kInvalidBase + byte, with valid = false.
inline char32_t decodeAt(std::string_view s, std::size_t& i, bool& valid) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    valid = true;
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t need;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        valid = false;
        ++i;
        return kInvalidBase + b0;
    }
    if (s.size() - i <= need) {
        valid = false;
        ++i;
        return kInvalidBase + b0;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            valid = false;
            ++i;
            return kInvalidBase + b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        valid = false;
        ++i;
        return kInvalidBase + b0;
    }
    i += need + 1;
    return cp;
}

// Appends a code point; the invalid-byte range goes back out as the raw byte.
inline void encode(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp >= kInvalidBase + 0x80 && cp <= kInvalidBase + 0xFF) {
        out += static_cast<char>(cp - kInvalidBase);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

inline char32_t decode1252(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh1252[b - 0x80];
    return b;
}

// The Windows-1252 byte of a code point, or kNotInCodePage.
inline char32_t encode1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return cp;
    for (std::size_t k = 0; k < kHigh1252.size(); ++k) {
        if (kHigh1252[k] == cp) return static_cast<char32_t>(0x80 + k);
    }
    return kNotInCodePage;
}

// The folding table: ASCII letters, the Latin-1 letters with an upper-case
// partner (not the multiplication and division signs, not ß), and the four
// pairs Windows-1252 adds in 0x80..0x9F.
inline char32_t upperOf(char32_t cp) {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
    switch (cp) {
        case 0xFF:
            return 0x178;  // ÿ -> Ÿ
        case 0x153:
            return 0x152;  // œ -> Œ
        case 0x161:
            return 0x160;  // š -> Š
        case 0x17E:
            return 0x17D;  // ž -> Ž
        default:
            return cp;
    }
}

inline char32_t lowerOf(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 0x20 : cp;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
    switch (cp) {
        case 0x178:
            return 0xFF;
        case 0x152:
            return 0x153;
        case 0x160:
            return 0x161;
        case 0x17D:
            return 0x17E;
        default:
            return cp;
    }
}

struct AsciiUpper {
    std::array<unsigned char, 128> t{};
    constexpr AsciiUpper() {
        for (int c = 0; c < 128; ++c)
            t[c] = static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 0x20 : c);
    }
};
constexpr AsciiUpper kAsciiUpper;

// Windows-1252 form of valid UTF-8 text, or false when a character does not fit.
bool to1252(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        bool valid;
        const char32_t cp = decodeAt(utf8, i, valid);
        const char32_t b = encode1252(cp);
        if (!valid || b == kNotInCodePage) return false;
        out += static_cast<char>(b);
    }
    return true;
}

template <typename Map>
std::string mapCase(std::string_view utf8, Map map) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(map(b));
            ++i;
            continue;
        }
        bool valid;
        const char32_t cp = decodeAt(utf8, i, valid);
        encode(out, valid ? map(cp) : cp);
    }
    return out;
}

}  // namespace

bool isMultiByteUtf8(std::string_view bytes) {
    bool multi = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        bool valid;
        decodeAt(bytes, i, valid);
        if (!valid) return false;
        multi = true;
    }
    return multi;
}

std::string toStored(std::string_view utf8) {
    std::string cp1252;
    // The code-page form is used only when a reader will take it back as
    // Windows-1252: bytes such as "Ã©" in Windows-1252 are also valid UTF-8
    // for "é", and the UTF-8 form is kept for such texts so they read back
    // unchanged.
    if (to1252(utf8, cp1252) && !isMultiByteUtf8(cp1252)) return cp1252;
    return std::string(utf8);
}

std::string fromStored(std::string_view stored) {
    if (isMultiByteUtf8(stored)) return std::string(stored);
    std::string out;
    out.reserve(stored.size() + stored.size() / 4);
    for (char c : stored) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else
            encode(out, decode1252(b));
    }
    return out;
}

std::string decodeTextFile(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return fromStored(bytes.substr(3));
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) return fromStored(bytes);
    std::string out;
    out.reserve(bytes.size());
    char32_t high = 0;  // a high surrogate waiting for its pair
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const char32_t unit = little ? (b1 << 8 | b0) : (b0 << 8 | b1);
        if (unit >= 0xDC00 && unit <= 0xDFFF && high) {
            encode(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
            high = 0;
            continue;
        }
        if (high) encode(out, 0xFFFD);
        high = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF)
            high = unit;
        else
            encode(out, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    if (high) encode(out, 0xFFFD);
    return out;
}

std::string forDisplay(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        bool valid;
        const char32_t cp = decodeAt(utf8, i, valid);
        if (valid)
            out.append(utf8.substr(start, i - start));
        else
            encode(out, decode1252(static_cast<unsigned char>(cp - kInvalidBase)));
    }
    return out;
}

std::string utf8Cut(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) return std::string(utf8);
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t next = i;
        bool valid;
        decodeAt(utf8, next, valid);
        if (next > maxBytes) break;
        i = next;
    }
    return std::string(utf8.substr(0, i));
}

std::string storedCut(std::string_view utf8, std::size_t maxBytes) {
    std::string stored = toStored(utf8);
    if (stored.size() <= maxBytes) return stored;
    // The UTF-8 cut always fits (its stored form is never longer). A longer
    // prefix can fit only in the code page, so it lies within the run of
    // characters that the code page holds; the longest one that really is
    // stored in the code page wins.
    const std::string utf8Prefix = utf8Cut(utf8, maxBytes);
    const std::size_t utf8Chars = utf8Length(utf8Prefix);
    std::vector<std::size_t> ends;  // byte end of each code-page character, in order
    std::size_t i = 0;
    while (i < utf8.size() && ends.size() < maxBytes) {
        bool valid;
        const char32_t cp = decodeAt(utf8, i, valid);
        if (!valid || encode1252(cp) == kNotInCodePage) break;
        ends.push_back(i);
    }
    for (std::size_t k = ends.size(); k > utf8Chars; --k) {
        std::string candidate = toStored(utf8.substr(0, ends[k - 1]));
        if (candidate.size() <= maxBytes) return candidate;
    }
    return toStored(utf8Prefix);
}

namespace {

// The byte offset just past the first count characters.
std::size_t charsEnd(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; pos < utf8.size() && n < count; ++n) {
        ++pos;
        while (pos < utf8.size() && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) ++pos;
    }
    return pos;
}

}  // namespace

std::string firstChars(std::string_view utf8, std::size_t count) {
    return std::string(utf8.substr(0, charsEnd(utf8, count)));
}

std::string dropChars(std::string_view utf8, std::size_t count) {
    return std::string(utf8.substr(charsEnd(utf8, count)));
}

std::size_t utf8Length(std::string_view utf8) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
        } else {
            bool valid;
            decodeAt(utf8, i, valid);
        }
        ++n;
    }
    return n;
}

std::string upper(std::string_view utf8) {
    return mapCase(utf8, [](char32_t c) { return upperOf(c); });
}

std::string lower(std::string_view utf8) {
    return mapCase(utf8, [](char32_t c) { return lowerOf(c); });
}

int compareNoCase(std::string_view a, std::string_view b) {
    // Skip the common prefix, backed up to the start of a character in both
    // texts: identical bytes fold identically, and no character of either
    // text then straddles the point where the comparison starts.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t k = 0;
    while (k < n && a[k] == b[k]) ++k;
    auto continuation = [](std::string_view s, std::size_t at) {
        return at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
    };
    while (k > 0 && (continuation(a, k) || continuation(b, k))) --k;
    std::size_t i = k, j = k;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        char32_t fa, fb;
        if ((ca | cb) < 0x80) {
            fa = kAsciiUpper.t[ca];
            fb = kAsciiUpper.t[cb];
            ++i;
            ++j;
        } else {
            bool valid;
            fa = decodeAt(a, i, valid);
            if (valid) fa = upperOf(fa);
            fb = decodeAt(b, j, valid);
            if (valid) fb = upperOf(fb);
        }
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::string foldKey(std::string_view utf8) {
    std::string out(utf8);
    for (std::size_t k = 0; k < out.size(); ++k) {
        const auto c = static_cast<unsigned char>(out[k]);
        if (c >= 0x80) return upper(utf8);
        out[k] = static_cast<char>(kAsciiUpper.t[c]);
    }
    return out;
}

}  // namespace kv::text

#include "platform/HostNames.h"

#include <cstdint>

namespace kv::hostnames {

namespace {

constexpr uint32_t EscapeBase = 0xF700;  // a stray byte b reads U+F700 + b

// Length of the valid UTF-8 sequence at s[i] (strict: no overlong forms, no
// surrogates, nothing above U+10FFFF), 0 when the byte there starts none.
std::size_t sequenceAt(std::string_view s, std::size_t i, uint32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t n;
    uint32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool isEscape(uint32_t cp) {
    return cp >= EscapeBase + 0x80 && cp <= EscapeBase + 0xFF;
}

void appendUtf8(std::string& out, uint32_t cp) {
    // Only escapes are appended here: three bytes.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

std::optional<std::string> toWindowsName(std::string_view hostName) {
    std::string out;
    out.reserve(hostName.size());
    for (std::size_t i = 0; i < hostName.size();) {
        uint32_t cp = 0;
        const std::size_t n = sequenceAt(hostName, i, cp);
        if (n == 0) {
            appendUtf8(out, EscapeBase + static_cast<uint8_t>(hostName[i]));
            ++i;
            continue;
        }
        if (cp == '\\' || isEscape(cp)) return std::nullopt;
        out.append(hostName.substr(i, n));
        i += n;
    }
    return out;
}

std::optional<std::string> toHostName(std::string_view windowsName) {
    // The common case: no escape in the name, nothing to do.
    if (windowsName.find("\xEF\x9E") == std::string_view::npos &&
        windowsName.find("\xEF\x9F") == std::string_view::npos)
        return std::string(windowsName);
    std::string out;
    out.reserve(windowsName.size());
    for (std::size_t i = 0; i < windowsName.size();) {
        uint32_t cp = 0;
        const std::size_t n = sequenceAt(windowsName, i, cp);
        if (n == 3 && isEscape(cp)) {
            out += static_cast<char>(cp - EscapeBase);
        } else {
            out.append(windowsName.substr(i, n == 0 ? 1 : n));
        }
        i += n == 0 ? 1 : n;
    }
    const std::optional<std::string> again = toWindowsName(out);
    if (!again || *again != windowsName) return std::nullopt;
    return out;
}

}  // namespace kv::hostnames

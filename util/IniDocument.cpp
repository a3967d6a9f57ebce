#include "util/IniDocument.h"

#include <climits>

#include "text/Text.h"

namespace kv {

namespace {

std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> sectionOf(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// The key and raw value of a "key=value" line; nullopt for sections, comments
// and lines without '='.
std::optional<KeyLine> keyOf(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

struct Location {
    int section = -1;  // line of the section header, -1 when absent
    int key = -1;      // line of the key, -1 when absent
    int lastKey = -1;  // last key line of the section (the header when it has none)
};

Location locate(const std::vector<std::string>& lines, std::string_view section,
                std::string_view key) {
    Location loc;
    bool inside = false;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (auto name = sectionOf(lines[i])) {
            if (inside) break;  // the end of the first matching section
            if (text::equalNoCase(*name, section)) {
                inside = true;
                loc.section = loc.lastKey = i;
            }
            continue;
        }
        if (!inside) continue;
        if (auto kv = keyOf(lines[i])) {
            loc.lastKey = i;
            if (loc.key < 0 && !key.empty() && text::equalNoCase(kv->key, key)) loc.key = i;
        }
    }
    return loc;
}

bool validName(std::string_view name, char forbidden) {
    return !name.empty() && name.find_first_of("\r\n") == std::string_view::npos &&
           name.find(forbidden) == std::string_view::npos;
}

}  // namespace

std::optional<int> parseIniInteger(std::string_view s) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s.size() > 20) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * base + d;
        if (v > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return std::nullopt;
    return static_cast<int>(v);
}

IniDocument IniDocument::parse(std::string_view bytes) {
    std::string content = text::decodeTextFile(bytes);
    while (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    IniDocument doc;
    doc.lines_ = splitLines(content);
    return doc;
}

std::string IniDocument::serialize() const {
    std::string content;
    for (const auto& line : lines_) {
        content += line;
        content += "\r\n";
    }
    return content;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    std::string s = text::fromStored(trim(section));
    std::string k = text::fromStored(trim(key));
    if (k.empty()) return std::nullopt;
    Location loc = locate(lines_, s, k);
    if (loc.key < 0) return std::nullopt;
    std::string_view v = keyOf(lines_[loc.key])->value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool IniDocument::hasSection(std::string_view section) const {
    return locate(lines_, text::fromStored(trim(section)), {}).section >= 0;
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string s = text::fromStored(trim(section));
    std::string k = text::fromStored(trim(key));
    if (!validName(s, ']') || !validName(k, '=') || k.front() == '[' || k.front() == ';')
        return false;
    std::string v = text::fromStored(value);
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';

    Location loc = locate(lines_, s, k);
    if (loc.key >= 0) {
        std::string spelled(keyOf(lines_[loc.key])->key);
        lines_[loc.key] = spelled + "=" + v;
    } else if (loc.section >= 0) {
        lines_.insert(lines_.begin() + loc.lastKey + 1, k + "=" + v);
    } else {
        lines_.push_back("[" + s + "]");
        lines_.push_back(k + "=" + v);
    }
    return true;
}

}  // namespace kv

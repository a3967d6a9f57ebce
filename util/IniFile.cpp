#include "util/IniFile.h"

#include <climits>

#include "platform/Platform.h"
#include "util/Text.h"

namespace kv {

namespace {

constexpr int64_t ReadBlock = 16384;

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

std::optional<int> parseInteger(std::string_view s) {
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

bool validName(std::string_view name, char forbidden) {
    return !name.empty() && name.find_first_of("\r\n") == std::string_view::npos &&
           name.find(forbidden) == std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string>> IniFile::load() const {
    auto file = platform().open(path_, OpenMode::Read);
    if (!file) {
        if (platform().attributes(path_) == attr::Invalid)
            return std::vector<std::string>();  // no file yet: no lines
        return std::nullopt;
    }
    std::string bytes;
    char buffer[ReadBlock];
    for (;;) {
        int64_t got = file->read(buffer, ReadBlock);
        if (got < 0) {
            file->close();
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    file->close();
    std::string content = text::decodeTextFile(bytes);
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    return splitLines(content);
}

bool IniFile::save(const std::vector<std::string>& lines) const {
    uint32_t attributes = platform().attributes(path_);
    if (attributes != attr::Invalid && (attributes & (attr::ReadOnly | attr::Directory)))
        return false;
    std::string content;
    for (const auto& line : lines) {
        content += line;
        content += "\r\n";
    }
    std::string temp = path_ + ".~new";
    auto file = platform().open(temp, OpenMode::Create);
    if (!file) return false;
    bool ok = file->write(content.data(), static_cast<int64_t>(content.size()));
    ok = file->close() && ok;
    if (ok) ok = platform().renameFile(temp, path_);
    if (!ok) platform().removeFile(temp);
    return ok;
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
    section = trim(section);
    key = trim(key);
    if (key.empty()) return std::nullopt;
    auto loaded = load();
    if (!loaded) return std::nullopt;
    const auto& lines = *loaded;
    Location loc = locate(lines, section, key);
    if (loc.key < 0) return std::nullopt;
    std::string_view value = keyOf(lines[loc.key])->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                const std::string& def) const {
    auto value = find(section, key);
    return value ? *value : def;
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const {
    auto value = find(section, key);
    if (!value) return def;
    auto n = parseInteger(*value);
    return n ? *n : def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(std::string_view section) const {
    auto lines = load();
    return lines && locate(*lines, trim(section), {}).section >= 0;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return find(section, key).has_value();
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (!validName(section, ']') || !validName(key, '=') || key.front() == '[' ||
        key.front() == ';')
        return false;
    std::string v(value);
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';

    // A file that exists but can't be read is not replaced by a file of one key.
    auto loaded = load();
    if (!loaded) return false;
    auto& lines = *loaded;
    Location loc = locate(lines, section, key);
    if (loc.key >= 0) {
        // Keep the key as the file spells it.
        std::string spelled(keyOf(lines[loc.key])->key);
        lines[loc.key] = spelled + "=" + v;
    } else if (loc.section >= 0) {
        lines.insert(lines.begin() + loc.lastKey + 1, std::string(key) + "=" + v);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(key) + "=" + v);
    }
    return save(lines);
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

}  // namespace kv

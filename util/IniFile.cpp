#include "util/IniFile.h"

#include "platform/Platform.h"
#include "platform/TempFile.h"

namespace kv {

namespace {

constexpr int64_t ReadBlock = 16384;

}  // namespace

std::optional<IniDocument> IniFile::load() const {
    auto file = platform().open(path_, OpenMode::Read);
    if (!file) {
        if (platform().attributes(path_) == attr::Invalid) return IniDocument();  // no file yet
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
    return IniDocument::parse(bytes);
}

bool IniFile::save(const IniDocument& doc) const {
    uint32_t attributes = platform().attributes(path_);
    if (attributes != attr::Invalid && (attributes & (attr::ReadOnly | attr::Directory)))
        return false;
    // A new file beside it renamed over it: two programs saving at once, or a
    // full disk, never leave a settings file half written.
    return ReplaceFileContents(path_, doc.serialize());
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
    auto doc = load();
    return doc ? doc->value(section, key) : std::nullopt;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                const std::string& def) const {
    auto value = find(section, key);
    return value ? *value : def;
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const {
    auto value = find(section, key);
    if (!value) return def;
    auto n = parseIniInteger(*value);
    return n ? *n : def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(std::string_view section) const {
    auto doc = load();
    return doc && doc->hasSection(section);
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return find(section, key).has_value();
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    // A file that exists but can't be read is not replaced by a file of one key.
    auto doc = load();
    if (!doc || !doc->set(section, key, value)) return false;
    return save(*doc);
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

}  // namespace kv

#pragma once
// IniFile: a settings file of sections in square brackets and "key=value" lines
// (Korvelt.cfg, AutoSave.cfg).
//
// Section and key names are compared without regard to case and without the
// blanks around them (IniDocument holds the rules of the text). Every read
// looks at the file as it is on disk now; a missing file, section or key, or a
// value that does not parse, gives the caller's default.
//
// Every write goes to the file at once. The file is rewritten as a new file
// that is renamed over the old one, so a failure or a crash leaves either the
// old file or the new one, never half of one. Existing lines, their order, and
// lines this class does not understand (comments, text before the first
// section) are kept; a written key keeps its line and its spelling; a new key
// goes after the last key of its section, a new section at the end of the file.
// Keys are never deleted.
//
// Files are read as UTF-8 or Windows-1252 (the text-file rule of text/Text.h),
// with CR LF, LF or CR line ends, and written as UTF-8 with CR LF. The path is
// a Windows path through platform(). Nothing here throws.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/IniDocument.h"

namespace kv {

class IniFile {
  public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The value without the blanks around it (and without one pair of matching
    // quotes around it); def when the key is missing.
    std::string readString(std::string_view section, std::string_view key,
                           const std::string& def) const;
    // Decimal (or "$"/"0x" hexadecimal) integer; def when missing, empty, not a
    // number or out of range.
    int readInteger(std::string_view section, std::string_view key, int def) const;
    // True when the integer value is not 0; def when missing or not a number.
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;

    // Writes the value (as IniDocument::set: line ends become blanks). False, and the file as
    // it was, when the file can't be read or written (a read-only file, a folder
    // that can't be written, a full disk) or when a name is empty or holds a line
    // end, a key an '=' or a section a ']'.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int value);
    bool writeBool(std::string_view section, std::string_view key, bool value);  // 1 or 0

  private:
    // The file's text; empty when there is no file, nullopt when it exists but
    // can't be read.
    std::optional<IniDocument> load() const;
    bool save(const IniDocument& doc) const;
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    std::string path_;
};

}  // namespace kv

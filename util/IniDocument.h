#pragma once
// IniDocument: the text of a settings file as lines, with the lookups and the
// edits that IniFile makes on it. It holds no file; IniFile reads and writes.
//
// Section and key names are compared without regard to case (the program's
// folding table) and without the blanks around them (names that are not UTF-8
// are taken as Windows-1252, as values are); the first of two
// sections or keys of the same name is the one used. Lines it does not
// understand (comments, text before the first section, lines without '=') are
// kept as they are. Nothing here throws.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class IniDocument {
  public:
    IniDocument() = default;

    // Any bytes: UTF-8 or Windows-1252 by the text-file rule of text/Text.h,
    // UTF-8 byte order marks at the start dropped, CR LF, LF or CR line ends.
    static IniDocument parse(std::string_view bytes);

    // The lines as UTF-8, each followed by CR LF.
    std::string serialize() const;
    const std::vector<std::string>& lines() const { return lines_; }

    // The value without the blanks around it and without one pair of matching
    // quotes around it; nullopt when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;

    // Sets a value: an existing key keeps its line and its spelling, a new key
    // goes after the last key of its section, a new section at the end. Line
    // ends in the value become blanks, and bytes that are not UTF-8 are taken as
    // Windows-1252, so the document stays valid UTF-8. False, and nothing
    // changed, when a name is empty or holds a line end, a key an '=' (or starts
    // with '[' or ';'), a section a ']'.
    bool set(std::string_view section, std::string_view key, std::string_view value);

  private:
    std::vector<std::string> lines_;
};

// A settings integer: decimal, or hexadecimal after "$" or "0x", blanks around
// it allowed; nullopt when empty, not a number or outside the int range.
std::optional<int> parseIniInteger(std::string_view text);

}  // namespace kv

#pragma once
// Selection scripts (.kvl): a saved list of what to add to an archive, one
// selection line per text line. A line holding "\*." is a folder line (the
// folder before the first "\*.", the mask after that backslash); any other
// non-blank line names one file.
//
// Files are written as UTF-8 with CR LF after every line (an empty list is an
// empty file); they are read as UTF-8 or Windows-1252 by the text rule, with
// CR LF, LF or CR line ends and a last line with or without its end.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A folder line split in two: "C:\Docs\*.txt" gives folder "C:\Docs" and mask "*.txt".
struct FolderLine {
    std::string folder;  // text before the first "\*." (no final backslash)
    std::string mask;    // "*.*" or "*." + an extension pattern
};

// The folder and mask of a folder line; nullopt for a file line.
std::optional<FolderLine> splitFolderLine(const std::string& line);

// True when the line holds nothing but blanks and tabs: it names nothing.
bool isBlankLine(std::string_view line);

// The lines of a script's bytes, decoded, in file order, blank lines left out.
std::vector<std::string> parseSelectionScript(std::string_view bytes);

// Reads a script file. Throws kv::Error when it cannot be opened or read.
std::vector<std::string> ReadSelectionScript(const std::string& path);

// The bytes of a script holding these lines (UTF-8, CR LF after each).
std::string formatSelectionScript(const std::vector<std::string>& lines);

// Writes a script, replacing the file whole: a new file beside it is written
// and renamed over it, so a failed write leaves an existing script as it was.
// Throws kv::Error when the file cannot be written.
void WriteSelectionScript(const std::string& path, const std::vector<std::string>& lines);

}  // namespace kv

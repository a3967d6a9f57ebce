#pragma once
// Writing a Document as RTF that this program's reader and common word
// processors read back with the same text and basic formatting: a font table
// of the fonts the runs use, a colour table of their colours, then one \pard
// paragraph per paragraph (alignment and indents) closed by \par, each run in
// a group of its own with its character format. The paragraphs of a table's
// row follow a \trowd row definition (cell boundaries, borders when the table
// has them) and are marked \intbl; a cell's last paragraph ends with \cell,
// the row's last cell with \row. Characters of Windows-1252
// are written as \'hh, every other one as \uN with '?' as its fallback
// (characters past U+FFFF as a surrogate pair); '\t' is \tab and '\n' \line.

#include <string>

#include "util/RtfDocument.h"

namespace kv::rtf {

// baseFont names the document's default font (\f0), used by runs whose font
// is empty.
std::string writeRtf(const Document& document, const std::string& baseFont = "Arial");

}  // namespace kv::rtf

#pragma once
// Reading RTF, as word processors write it, into a Document.
//
// What is read: groups, \par \line \tab (and \page, \sect as breaks),
// tables (\trowd with \trleft, \cellx and cell or row borders, \intbl,
// \cell, \row; at most 256 cells a row, nested tables flattened into their
// cell), \b \i \ul (every underline style) \strike \fs \f with the font
// table, \cf \highlight \cb with the colour table, \plain \pard, \qc \qr
// \qj \ql, \li \ri \fi, \'hh in the code page of the run's font (\fcharset)
// or of the document (\ansicpg), \uN with its fallback count \ucN (and
// surrogate pairs), \~ \_ \- and the named quotes and dashes. Destinations
// that hold no body text are skipped whole: every \* group, the font and
// colour tables (read for their entries), \stylesheet, \info, \pict,
// headers, footers, field instructions (their results are read), list tables
// and the like; \bin data is skipped by its length. Anything else the reader
// does not know is ignored without losing the text around it.
//
// It never throws and never fails: unbalanced braces, truncated input,
// numbers out of range and deep nesting are taken as they come. A trailing
// empty paragraph (the text after the last \par) is dropped, so a document
// written by writeRtf reads back with the same paragraphs.

#include <string_view>

#include "util/RtfDocument.h"

namespace kv::rtf {

// True when the bytes start with "{\rtf" (after optional white space): the
// text pane reads them as RTF in formatted mode, and as plain text otherwise.
bool looksLikeRtf(std::string_view bytes);

Document readRtf(std::string_view bytes);

}  // namespace kv::rtf

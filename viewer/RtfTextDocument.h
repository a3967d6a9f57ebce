#pragma once
// The Qt edge of the RTF model: a Document into the text pane's
// QTextDocument (one block per paragraph, one fragment per run, a QTextTable
// per table with its column widths and borders) and back.
// Indents are kept in twips in the model and in pixels at 96 dpi here
// (15 twips a pixel).

#include <QTextDocument>

#include "util/RtfDocument.h"

namespace kv {

// Replaces the document's contents with the model.
void fillTextDocument(QTextDocument& target, const rtf::Document& model);
// The model of a document's text and formatting.
rtf::Document modelOfTextDocument(const QTextDocument& source);

}  // namespace kv

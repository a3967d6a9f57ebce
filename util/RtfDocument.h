#pragma once
// The formatted text the viewer's text pane shows and saves: paragraphs with
// their alignment and indents, each a list of runs of text that share one
// character format, some of them in the cells of tables. Plain C++ (the RTF reader and writer work
// on it without Qt); viewer/RtfTextDocument turns it into the pane's document and back.
//
// Text is UTF-8. Inside a run, '\t' is a tab and '\n' a line break within
// the paragraph; paragraphs themselves are the list's elements.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::rtf {

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Color&) const = default;
};

struct CharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 24;             // font size in half points (24 = 12 pt)
    std::string font;                // font name; empty = the document's default
    std::optional<Color> color;      // text colour; nullopt = automatic
    std::optional<Color> highlight;  // background colour; nullopt = none
    bool operator==(const CharFormat&) const = default;
};

struct Run {
    std::string text;
    CharFormat format;
};

enum class Alignment { Left, Center, Right, Justify };

// The cell of a table a paragraph stands in (rows and columns from 0).
struct CellPlace {
    int table = 0;  // index in Document::tables
    int row = 0;
    int column = 0;
    bool operator==(const CellPlace&) const = default;
};

// A table: its size in cells, the width of each column, and whether its
// cells are drawn with borders.
struct Table {
    int rows = 0;
    int columns = 0;
    std::vector<int> columnWidths;  // twips; may hold fewer entries than columns
    bool borders = false;
};

struct Paragraph {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;   // twips (1/1440 inch)
    int rightIndent = 0;  // twips
    int firstIndent = 0;  // twips, relative to leftIndent; may be negative
    std::vector<Run> runs;
    // Set for a paragraph inside a table cell. The paragraphs of one table
    // follow each other, in row order, those of one cell in their order.
    std::optional<CellPlace> cell;

    // The paragraph's text, runs joined.
    std::string text() const {
        std::string all;
        for (const Run& run : runs) all += run.text;
        return all;
    }
    // Appends text in a format, joining it to the last run when that one has
    // the same format.
    void append(const std::string& more, const CharFormat& format) {
        if (more.empty()) return;
        if (!runs.empty() && runs.back().format == format)
            runs.back().text += more;
        else
            runs.push_back({more, format});
    }
};

struct Document {
    std::vector<Paragraph> paragraphs;
    std::vector<Table> tables;

    // Every paragraph's text, joined with '\n'.
    std::string plainText() const {
        std::string all;
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            if (i) all += '\n';
            all += paragraphs[i].text();
        }
        return all;
    }
};

}  // namespace kv::rtf

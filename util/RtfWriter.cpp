#include "util/RtfWriter.h"

#include <cstdio>

#include "util/RtfCodePages.h"

namespace kv::rtf {
namespace {

// The next code point of UTF-8 text; invalid bytes give U+FFFD one by one.
char32_t nextCodePoint(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0 || b >= 0xF8) return 0xFFFD;
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return c;
}

void writeUnit(std::string& out, int unit) {
    // \u takes a signed 16-bit number.
    if (unit > 32767) unit -= 65536;
    out += "\\u" + std::to_string(unit) + "?";
}

void writeText(std::string& out, const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = nextCodePoint(text, i);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c == '\n') {
            out += "\\line ";
        } else if (c < 0x20) {
            // Other control characters have no place in the text.
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (int byte = encodeCp1252(c); byte >= 0) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "\\'%02x", byte);
            out += hex;
        } else if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            writeUnit(out, static_cast<int>(0xD800 + (v >> 10)));
            writeUnit(out, static_cast<int>(0xDC00 + (v & 0x3FF)));
        } else {
            writeUnit(out, static_cast<int>(c));
        }
    }
}

template <class T>
int indexOf(std::vector<T>& list, const T& value) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == value) return static_cast<int>(i);
    list.push_back(value);
    return static_cast<int>(list.size() - 1);
}

// The table a paragraph stands in; nullptr outside one.
const Table* tableOf(const Document& document, const Paragraph& p) {
    if (!p.cell || p.cell->table < 0 || p.cell->table >= static_cast<int>(document.tables.size()))
        return nullptr;
    return &document.tables[static_cast<std::size_t>(p.cell->table)];
}

bool sameRow(const Paragraph& a, const Paragraph& b) {
    return a.cell && b.cell && a.cell->table == b.cell->table && a.cell->row == b.cell->row;
}

// A row's cell boundaries; a column without a width gets an inch.
void writeRowDefinition(std::string& out, const Table& t) {
    constexpr int DefaultWidth = 1440;
    out += "\\trowd";
    int right = 0;
    for (int c = 0; c < t.columns; ++c) {
        const int width = c < static_cast<int>(t.columnWidths.size()) && t.columnWidths[c] > 0
                              ? t.columnWidths[c]
                              : DefaultWidth;
        right += width;
        if (t.borders)
            out +=
                "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
        out += "\\cellx" + std::to_string(right);
    }
    out += '\n';
}

}  // namespace

std::string writeRtf(const Document& document, const std::string& baseFont) {
    std::vector<std::string> fonts{baseFont};
    std::vector<Color> colors;
    for (const Paragraph& p : document.paragraphs)
        for (const Run& r : p.runs) {
            if (!r.format.font.empty()) indexOf(fonts, r.format.font);
            if (r.format.color) indexOf(colors, *r.format.color);
            if (r.format.highlight) indexOf(colors, *r.format.highlight);
        }

    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
        writeText(out, fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl ;";
    for (const Color& c : colors)
        out += "\\red" + std::to_string(c.red) + "\\green" + std::to_string(c.green) + "\\blue" +
               std::to_string(c.blue) + ";";
    out += "}\n";

    const auto& paragraphs = document.paragraphs;
    int column = 0;  // the next cell of the row being written
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        const Paragraph& p = paragraphs[i];
        const Table* table = tableOf(document, p);
        const Paragraph* previous = i > 0 ? &paragraphs[i - 1] : nullptr;
        const Paragraph* next = i + 1 < paragraphs.size() ? &paragraphs[i + 1] : nullptr;
        if (table && !(previous && sameRow(*previous, p))) {
            writeRowDefinition(out, *table);
            column = 0;
        }
        if (table)
            for (; column < p.cell->column; ++column) out += "\\pard\\intbl\\cell\n";
        out += "\\pard";
        if (table) out += "\\intbl";
        switch (p.alignment) {
            case Alignment::Left:
                break;
            case Alignment::Center:
                out += "\\qc";
                break;
            case Alignment::Right:
                out += "\\qr";
                break;
            case Alignment::Justify:
                out += "\\qj";
                break;
        }
        if (p.leftIndent) out += "\\li" + std::to_string(p.leftIndent);
        if (p.rightIndent) out += "\\ri" + std::to_string(p.rightIndent);
        if (p.firstIndent) out += "\\fi" + std::to_string(p.firstIndent);
        out += ' ';
        for (const Run& r : p.runs) {
            const CharFormat& f = r.format;
            out += '{';
            if (f.bold) out += "\\b";
            if (f.italic) out += "\\i";
            if (f.underline) out += "\\ul";
            if (f.strike) out += "\\strike";
            out += "\\f" + std::to_string(f.font.empty() ? 0 : indexOf(fonts, f.font));
            out += "\\fs" + std::to_string(f.halfPoints);
            if (f.color) out += "\\cf" + std::to_string(indexOf(colors, *f.color) + 1);
            if (f.highlight)
                out += "\\highlight" + std::to_string(indexOf(colors, *f.highlight) + 1);
            out += ' ';
            writeText(out, r.text);
            out += '}';
        }
        if (!table || (next && next->cell == p.cell)) {
            out += "\\par\n";
        } else {
            out += "\\cell\n";
            ++column;
            if (!next || !sameRow(*next, p)) out += "\\row\n";
        }
    }
    out += "}\n";
    return out;
}

}  // namespace kv::rtf

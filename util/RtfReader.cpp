#include "util/RtfReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "util/RtfCodePages.h"

namespace kv::rtf {
namespace {

// Groups nested deeper than this are still counted, so their braces match,
// but they share the state of the deepest kept group.
constexpr std::size_t MaxDepth = 1024;
constexpr int MaxFallbackCount = 16;
// The most cells of a row; text of the cells past them goes in the last one.
constexpr std::size_t MaxColumns = 256;

enum class Dest { Body, Skip, FontTable, ColorTable };

struct State {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 24;
    int font = -1;       // index into the font table; -1 = the default font
    int color = -1;      // index into the colour table; -1 = automatic
    int highlight = -1;  // index into the colour table; -1 = none
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    bool inTable = false;   // \intbl: the paragraph stands in a table cell
    int fallbackCount = 1;  // \uc
    Dest dest = Dest::Body;

    void plain() {
        bold = italic = underline = strike = false;
        halfPoints = 24;
        font = -1;
        color = highlight = -1;
    }
    void pard() {
        alignment = Alignment::Left;
        leftIndent = rightIndent = firstIndent = 0;
        inTable = false;
    }
};

struct FontEntry {
    int number = 0;
    std::string name;
    int codePage = 0;  // 0: the document's code page
};

void appendUtf8(std::string& out, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        appendUtf8(out, 0xFFFD);
    }
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Destinations whose contents are not body text.
bool isSkippedDestination(std::string_view word) {
    static constexpr const char* skipped[] = {
        "stylesheet",    "info",
        "pict",          "header",
        "headerl",       "headerr",
        "headerf",       "footer",
        "footerl",       "footerr",
        "footerf",       "fldinst",
        "listtable",     "listoverridetable",
        "revtbl",        "rsidtbl",
        "xmlnstbl",      "filetbl",
        "objdata",       "datafield",
        "themedata",     "colorschememapping",
        "latentstyles",  "datastore",
        "generator",     "footnote",
        "ftnsep",        "ftnsepc",
        "aftnsep",       "aftnsepc",
        "annotation",    "atnid",
        "atnauthor",     "nonshppict",
        "shpinst",       "pgdsctbl",
        "template",      "pntxta",
        "pntxtb",        "userprops",
        "docvar",        "bkmkstart",
        "bkmkend",       "author",
        "operator",      "title",
        "subject",       "keywords",
        "comment",       "doccomm",
        "company",       "mmathPr",
        "wgrffmtfilter",
    };
    for (const char* s : skipped)
        if (word == s) return true;
    return false;
}

bool isUnderlineWord(std::string_view word) {
    static constexpr const char* words[] = {
        "ul",         "uld",       "uldash",     "uldashd", "uldashdd", "uldb",
        "ulhwave",    "ulldash",   "ulth",       "ulthd",   "ulthdash", "ulthdashd",
        "ulthdashdd", "ulthldash", "ululdbwave", "ulw",     "ulwave",
    };
    for (const char* s : words)
        if (word == s) return true;
    return false;
}

class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) { stack_.push_back(State{}); }

    Document run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    flush();
                    fallbackLeft_ = 0;
                    if (stack_.size() < MaxDepth)
                        stack_.push_back(stack_.back());
                    else
                        ++overflow_;
                    break;
                case '}':
                    flush();
                    fallbackLeft_ = 0;
                    endGroup();
                    break;
                case '\\':
                    controlWord();
                    break;
                case '\r':
                case '\n':
                    break;
                default:
                    character(static_cast<unsigned char>(c));
                    break;
            }
        }
        flush();
        // The text after the last \par is a paragraph only when it holds text.
        if (!current_.runs.empty()) finishParagraph(false);
        return std::move(doc_);
    }

  private:
    State& state() { return stack_.back(); }

    void endGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        const Dest closing = state().dest;
        if (stack_.size() > 1) stack_.pop_back();
        // A font entry ends with its group even without a ';'.
        if (closing == Dest::FontTable && state().dest != Dest::FontTable) currentFont_ = -1;
    }

    // A fallback character after \u is skipped in its place.
    bool skippingFallback() {
        if (fallbackLeft_ <= 0) return false;
        --fallbackLeft_;
        return true;
    }

    void character(unsigned char byte) {
        if (skippingFallback()) return;
        if (byte == '\t') {
            emit(U'\t');
            return;
        }
        if (byte < 0x20) return;
        emit(decodeByte(codePageOfState(), byte));
    }

    int codePageOfState() {
        const FontEntry* font = fontOf(state().font);
        if (font && font->codePage) return font->codePage;
        return documentCodePage_;
    }

    const FontEntry* fontOf(int number) const {
        if (number < 0) number = defaultFont_;
        for (const FontEntry& f : fonts_)
            if (f.number == number) return &f;
        return nullptr;
    }

    void emit(char32_t c) {
        // Control characters other than tab and line break have no place in text.
        if (c < 0x20 && c != U'\t' && c != U'\n') return;
        switch (state().dest) {
            case Dest::Skip:
                return;
            case Dest::Body:
                appendUtf8(pending_, c);
                return;
            case Dest::FontTable:
                fontTableChar(c);
                return;
            case Dest::ColorTable:
                if (c == U';') {
                    colors_.push_back(colorGiven_ ? std::optional<Color>(colorEntry_)
                                                  : std::nullopt);
                    colorEntry_ = Color{};
                    colorGiven_ = false;
                }
                return;
        }
    }

    void fontTableChar(char32_t c) {
        FontEntry* font = nullptr;
        for (FontEntry& f : fonts_)
            if (f.number == currentFont_) font = &f;
        if (!font) return;
        if (c == U';') {
            while (!font->name.empty() && font->name.back() == ' ') font->name.pop_back();
            currentFont_ = -1;
            return;
        }
        if (font->name.empty() && c == U' ') return;
        if (font->name.size() < 256) appendUtf8(font->name, c);
    }

    // Emits the text gathered since the last change of state as one run.
    void flush() {
        if (pending_.empty()) return;
        const State& s = state();
        CharFormat f;
        f.bold = s.bold;
        f.italic = s.italic;
        f.underline = s.underline;
        f.strike = s.strike;
        f.halfPoints = s.halfPoints;
        if (const FontEntry* font = fontOf(s.font)) f.font = font->name;
        f.color = colorAt(s.color);
        f.highlight = colorAt(s.highlight);
        current_.append(pending_, f);
        pending_.clear();
    }

    std::optional<Color> colorAt(int index) const {
        if (index < 0 || index >= static_cast<int>(colors_.size())) return std::nullopt;
        return colors_[static_cast<std::size_t>(index)];
    }

    // A paragraph ends; endsCell when \cell ends it, which puts it in a
    // table whether or not it said \intbl.
    void finishParagraph(bool endsCell) {
        const State& s = state();
        current_.alignment = s.alignment;
        current_.leftIndent = s.leftIndent;
        current_.rightIndent = s.rightIndent;
        current_.firstIndent = s.firstIndent;
        if (s.inTable || endsCell) {
            if (table_ < 0) {
                table_ = static_cast<int>(doc_.tables.size());
                doc_.tables.emplace_back();
                row_ = column_ = 0;
            }
            Table& t = doc_.tables[static_cast<std::size_t>(table_)];
            t.rows = std::max(t.rows, row_ + 1);
            t.columns = std::max(t.columns, column_ + 1);
            current_.cell = CellPlace{table_, row_, column_};
        } else {
            table_ = -1;  // text outside a cell ends the table
        }
        doc_.paragraphs.push_back(std::move(current_));
        current_ = Paragraph{};
    }

    void paragraphBreak(bool endsCell = false) {
        if (state().dest != Dest::Body) return;
        flush();
        finishParagraph(endsCell);
    }

    // \row: text left after the row's last \cell goes in one more cell; the
    // row's cell boundaries may give the table its column widths.
    void endRow() {
        if (state().dest != Dest::Body) return;
        flush();
        if (!current_.runs.empty()) finishParagraph(true);
        if (table_ < 0) return;
        Table& t = doc_.tables[static_cast<std::size_t>(table_)];
        // The first row with the most cells gives the widths.
        if (rowBoundaries_.size() > t.columnWidths.size()) {
            t.columnWidths.clear();
            int64_t left = rowLeft_;
            for (const int right : rowBoundaries_) {
                t.columnWidths.push_back(
                    static_cast<int>(std::clamp<int64_t>(right - left, 0, INT32_MAX)));
                left = right;
            }
        }
        t.borders = t.borders || rowBorders_;
        ++row_;
        column_ = 0;
    }

    // A border word of a row definition: after a cell or row border side, a
    // style other than none means the table is drawn with borders.
    void borderWord(std::string_view word) {
        if (word.starts_with("clbrdr") || word.starts_with("trbrdr")) {
            borderSide_ = true;
        } else if (borderSide_ && word != "brdrw" && word != "brdrcf" && word != "brdrsp") {
            rowBorders_ =
                rowBorders_ || (word != "brdrnone" && word != "brdrnil" && word != "brdrtbl");
            borderSide_ = false;
        }
    }

    void controlWord() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]) && pos_ - start < 32) ++pos_;
        const std::string_view word = in_.substr(start, pos_ - start);
        while (pos_ < in_.size() && isLetter(in_[pos_])) ++pos_;  // an over-long word
        bool hasParam = false;
        bool negative = false;
        int64_t value = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (value < (int64_t(1) << 32)) value = value * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        if (negative) value = -value;
        value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
        const int param = static_cast<int>(value);

        if (word == "bin") {
            // Binary data: skipped by its length, never read as text.
            const std::size_t count = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
            pos_ += std::min(count, in_.size() - pos_);
            return;
        }
        if (skippingFallback()) return;
        flush();
        apply(word, hasParam, param);
    }

    void controlSymbol(char c) {
        if (c == '\'') {
            int high = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
            int low = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
            if (high < 0 || low < 0) return;
            pos_ += 2;
            if (skippingFallback()) return;
            emit(decodeByte(codePageOfState(), static_cast<unsigned char>(high * 16 + low)));
            return;
        }
        if (skippingFallback()) return;
        switch (c) {
            case '\\':
            case '{':
            case '}':
                emit(static_cast<unsigned char>(c));
                break;
            case '~':
                emit(U'\u00A0');
                break;
            case '_':
                emit(U'\u2011');
                break;
            case '*':
                flush();
                state().dest = Dest::Skip;
                break;
            case '\r':
            case '\n':
                paragraphBreak();
                break;
            case '\t':
                emit(U'\t');
                break;
            default:  // \- (optional hyphen), \| \: and the unknown symbols
                break;
        }
    }

    void apply(std::string_view word, bool hasParam, int param) {
        State& s = state();
        const bool on = !hasParam || param != 0;
        if (word.starts_with("clbrdr") || word.starts_with("trbrdr") ||
            (word.starts_with("brdr") && s.dest != Dest::Skip))
            borderWord(word);
        if (word == "par" || word == "page" || word == "sect" || word == "nestrow") {
            paragraphBreak();
        } else if (word == "cell") {
            if (s.dest != Dest::Body) return;
            paragraphBreak(true);
            if (column_ + 1 < static_cast<int>(MaxColumns)) ++column_;
        } else if (word == "row") {
            endRow();
        } else if (word == "intbl") {
            s.inTable = on;
        } else if (word == "trowd") {
            rowBoundaries_.clear();
            rowLeft_ = 0;
            rowBorders_ = borderSide_ = false;
        } else if (word == "trleft") {
            rowLeft_ = param;
        } else if (word == "cellx") {
            if (rowBoundaries_.size() < MaxColumns) rowBoundaries_.push_back(param);
        } else if (word == "line") {
            emit(U'\n');
        } else if (word == "tab" || word == "nestcell") {
            emit(U'\t');
        } else if (word == "b") {
            s.bold = on;
        } else if (word == "i") {
            s.italic = on;
        } else if (word == "strike" || word == "striked") {
            s.strike = on;
        } else if (isUnderlineWord(word)) {
            s.underline = on;
        } else if (word == "ulnone") {
            s.underline = false;
        } else if (word == "fs") {
            s.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : 24;
        } else if (word == "f") {
            if (s.dest == Dest::FontTable) {
                currentFont_ = param;
                bool known = false;
                for (const FontEntry& f : fonts_) known = known || f.number == param;
                if (!known && fonts_.size() < 4096) fonts_.push_back({param, {}, 0});
            } else {
                s.font = param;
            }
        } else if (word == "fcharset") {
            if (s.dest == Dest::FontTable)
                for (FontEntry& f : fonts_)
                    if (f.number == currentFont_) f.codePage = codePageOfCharset(param);
        } else if (word == "cf") {
            s.color = param;
        } else if (word == "highlight" || word == "cb") {
            s.highlight = param > 0 ? param : -1;
        } else if (word == "plain") {
            s.plain();
        } else if (word == "pard") {
            s.pard();
        } else if (word == "ql") {
            s.alignment = Alignment::Left;
        } else if (word == "qc") {
            s.alignment = Alignment::Center;
        } else if (word == "qr") {
            s.alignment = Alignment::Right;
        } else if (word == "qj") {
            s.alignment = Alignment::Justify;
        } else if (word == "li") {
            s.leftIndent = param;
        } else if (word == "ri") {
            s.rightIndent = param;
        } else if (word == "fi") {
            s.firstIndent = param;
        } else if (word == "uc") {
            s.fallbackCount = std::clamp(param, 0, MaxFallbackCount);
        } else if (word == "u") {
            unicode(param);
        } else if (word == "ansicpg") {
            if (isKnownCodePage(param)) documentCodePage_ = param;
        } else if (word == "deff") {
            defaultFont_ = param;
        } else if (word == "red" || word == "green" || word == "blue") {
            if (s.dest != Dest::ColorTable) return;
            const auto v = static_cast<uint8_t>(std::clamp(param, 0, 255));
            (word == "red"     ? colorEntry_.red
             : word == "green" ? colorEntry_.green
                               : colorEntry_.blue) = v;
            colorGiven_ = true;
        } else if (word == "fonttbl") {
            if (s.dest != Dest::Skip) s.dest = Dest::FontTable;
        } else if (word == "colortbl") {
            if (s.dest != Dest::Skip) s.dest = Dest::ColorTable;
        } else if (isSkippedDestination(word)) {
            s.dest = Dest::Skip;
        } else if (word == "emdash") {
            emit(U'\u2014');
        } else if (word == "endash") {
            emit(U'\u2013');
        } else if (word == "bullet") {
            emit(U'\u2022');
        } else if (word == "lquote") {
            emit(U'\u2018');
        } else if (word == "rquote") {
            emit(U'\u2019');
        } else if (word == "ldblquote") {
            emit(U'\u201C');
        } else if (word == "rdblquote") {
            emit(U'\u201D');
        } else if (word == "emspace") {
            emit(U'\u2003');
        } else if (word == "enspace") {
            emit(U'\u2002');
        }
    }

    void unicode(int param) {
        char32_t code = static_cast<char32_t>(param < 0 ? param + 65536 : param) & 0xFFFF;
        fallbackLeft_ = state().fallbackCount;
        if (code >= 0xD800 && code <= 0xDBFF) {
            highSurrogate_ = code;
            return;
        }
        if (code >= 0xDC00 && code <= 0xDFFF) {
            if (highSurrogate_) {
                code = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (code - 0xDC00);
                highSurrogate_ = 0;
            } else {
                code = 0xFFFD;
            }
        } else if (highSurrogate_) {
            highSurrogate_ = 0;
            emit(0xFFFD);
        }
        emit(code);
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<State> stack_;
    std::size_t overflow_ = 0;
    int fallbackLeft_ = 0;
    char32_t highSurrogate_ = 0;
    int documentCodePage_ = 1252;
    int defaultFont_ = 0;
    std::vector<FontEntry> fonts_;
    int currentFont_ = -1;
    std::vector<std::optional<Color>> colors_;
    Color colorEntry_;
    bool colorGiven_ = false;
    std::string pending_;
    Paragraph current_;
    Document doc_;
    // The table being read (-1 outside one), its row and the cell in the row.
    int table_ = -1;
    int row_ = 0;
    int column_ = 0;
    // The row definition last read (\trowd ... \cellx).
    std::vector<int> rowBoundaries_;
    int rowLeft_ = 0;
    bool rowBorders_ = false;
    bool borderSide_ = false;
};

}  // namespace

bool looksLikeRtf(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.substr(i, 5) == "{\\rtf";
}

Document readRtf(std::string_view bytes) {
    return Reader(bytes).run();
}

}  // namespace kv::rtf

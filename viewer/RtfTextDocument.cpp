#include "viewer/RtfTextDocument.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <algorithm>
#include <cstdint>

namespace kv {
namespace {

constexpr double TwipsPerPixel = 15.0;

QColor qColor(const rtf::Color& c) {
    return QColor(c.red, c.green, c.blue);
}
rtf::Color modelColor(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
            static_cast<uint8_t>(c.blue())};
}

Qt::Alignment qAlignment(rtf::Alignment a) {
    switch (a) {
        case rtf::Alignment::Center:
            return Qt::AlignHCenter;
        case rtf::Alignment::Right:
            return Qt::AlignRight;
        case rtf::Alignment::Justify:
            return Qt::AlignJustify;
        case rtf::Alignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

rtf::Alignment modelAlignment(Qt::Alignment a) {
    if (a & Qt::AlignHCenter) return rtf::Alignment::Center;
    if (a & Qt::AlignRight) return rtf::Alignment::Right;
    if (a & Qt::AlignJustify) return rtf::Alignment::Justify;
    return rtf::Alignment::Left;
}

QTextCharFormat charFormat(const rtf::CharFormat& f) {
    QTextCharFormat c;
    c.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    c.setFontItalic(f.italic);
    c.setFontUnderline(f.underline);
    c.setFontStrikeOut(f.strike);
    c.setFontPointSize(f.halfPoints / 2.0);
    if (!f.font.empty()) c.setFontFamilies({QString::fromStdString(f.font)});
    if (f.color) c.setForeground(qColor(*f.color));
    if (f.highlight) c.setBackground(qColor(*f.highlight));
    return c;
}

QTextBlockFormat blockFormat(const rtf::Paragraph& p) {
    QTextBlockFormat b;
    b.setAlignment(qAlignment(p.alignment));
    b.setLeftMargin(p.leftIndent / TwipsPerPixel);
    b.setRightMargin(p.rightIndent / TwipsPerPixel);
    b.setTextIndent(p.firstIndent / TwipsPerPixel);
    return b;
}

void insertRuns(QTextCursor& cursor, const rtf::Paragraph& p) {
    for (const rtf::Run& run : p.runs) {
        QString text = QString::fromStdString(run.text);
        // A line break inside a paragraph is the document's line separator.
        text.replace(QLatin1Char('\n'), QChar::LineSeparator);
        cursor.insertText(text, charFormat(run.format));
    }
}

// A table of a size the pane can lay out; a larger one (damaged or hostile
// data) shows its cells as paragraphs one after the other.
constexpr int64_t MostCells = 100000;
constexpr double WidestColumn = 8000;  // pixels

const rtf::Table* tableOf(const rtf::Document& model, int index) {
    if (index < 0 || index >= static_cast<int>(model.tables.size())) return nullptr;
    const rtf::Table& t = model.tables[static_cast<std::size_t>(index)];
    if (t.rows <= 0 || t.columns <= 0 || int64_t(t.rows) * t.columns > MostCells) return nullptr;
    return &t;
}

QTextTableFormat tableFormat(const rtf::Table& t) {
    QTextTableFormat f;
    f.setBorderCollapse(true);
    f.setBorder(t.borders ? 1 : 0);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderBrush(Qt::black);
    f.setCellSpacing(0);
    f.setCellPadding(3);
    f.setAlignment(Qt::AlignLeft);
    QList<QTextLength> widths;
    for (int c = 0; c < t.columns; ++c) {
        const int twips = c < static_cast<int>(t.columnWidths.size()) ? t.columnWidths[c] : 0;
        // No column wider than a few screens, whatever the file says.
        widths.append(twips > 0 ? QTextLength(QTextLength::FixedLength,
                                              std::min(twips / TwipsPerPixel, WidestColumn))
                                : QTextLength(QTextLength::VariableLength, 0));
    }
    f.setColumnWidthConstraints(widths);
    return f;
}

}  // namespace

void fillTextDocument(QTextDocument& target, const rtf::Document& model) {
    target.clear();
    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    bool fresh = true;  // the cursor stands in an empty block of its own
    QTextTable* table = nullptr;
    int tableIndex = -1;
    std::vector<bool> filled;  // the cells of the table that have a paragraph
    for (const rtf::Paragraph& p : model.paragraphs) {
        const rtf::Table* shape = p.cell ? tableOf(model, p.cell->table) : nullptr;
        if (shape && p.cell->row < shape->rows && p.cell->column < shape->columns) {
            if (p.cell->table != tableIndex) {
                if (!fresh) cursor.insertBlock();
                table = cursor.insertTable(shape->rows, shape->columns, tableFormat(*shape));
                tableIndex = p.cell->table;
                filled.assign(std::size_t(shape->rows) * std::size_t(shape->columns), false);
            }
            QTextCursor at = table->cellAt(p.cell->row, p.cell->column).lastCursorPosition();
            const std::size_t cell = std::size_t(p.cell->row) * shape->columns + p.cell->column;
            if (filled[cell])
                at.insertBlock(blockFormat(p));
            else
                at.setBlockFormat(blockFormat(p));
            filled[cell] = true;
            insertRuns(at, p);
            continue;
        }
        if (table) {
            // The text after a table goes in the block that follows it.
            cursor.setPosition(table->lastPosition() + 1);
            table = nullptr;
            tableIndex = -1;
            fresh = true;
        }
        if (fresh)
            cursor.setBlockFormat(blockFormat(p));
        else
            cursor.insertBlock(blockFormat(p));
        fresh = false;
        insertRuns(cursor, p);
    }
    cursor.endEditBlock();
}

rtf::Document modelOfTextDocument(const QTextDocument& source) {
    rtf::Document model;
    const QFont base = source.defaultFont();
    QHash<const QTextTable*, int> tables;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        rtf::Paragraph p;
        if (const QTextTable* table = QTextCursor(block).currentTable()) {
            auto found = tables.constFind(table);
            if (found == tables.constEnd()) {
                rtf::Table t;
                t.rows = table->rows();
                t.columns = table->columns();
                const QTextTableFormat f = table->format();
                t.borders = f.border() > 0;
                for (const QTextLength& width : f.columnWidthConstraints())
                    t.columnWidths.push_back(width.type() == QTextLength::FixedLength
                                                 ? qRound(width.rawValue() * TwipsPerPixel)
                                                 : 0);
                found = tables.insert(table, static_cast<int>(model.tables.size()));
                model.tables.push_back(std::move(t));
            }
            const QTextTableCell cell = table->cellAt(block.position());
            p.cell = rtf::CellPlace{*found, cell.row(), cell.column()};
        }
        const QTextBlockFormat b = block.blockFormat();
        p.alignment = modelAlignment(b.alignment());
        p.leftIndent = qRound(b.leftMargin() * TwipsPerPixel);
        p.rightIndent = qRound(b.rightMargin() * TwipsPerPixel);
        p.firstIndent = qRound(b.textIndent() * TwipsPerPixel);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            const QTextCharFormat c = fragment.charFormat();
            rtf::CharFormat f;
            f.bold = c.fontWeight() >= QFont::Bold;
            f.italic = c.fontItalic();
            f.underline = c.fontUnderline();
            f.strike = c.fontStrikeOut();
            const double points =
                c.hasProperty(QTextFormat::FontPointSize) ? c.fontPointSize() : base.pointSizeF();
            f.halfPoints = points > 0 ? qRound(points * 2) : 24;
            const QStringList families = c.fontFamilies().toStringList();
            f.font = (families.isEmpty() ? base.family() : families.first()).toStdString();
            if (c.hasProperty(QTextFormat::ForegroundBrush))
                f.color = modelColor(c.foreground().color());
            if (c.hasProperty(QTextFormat::BackgroundBrush))
                f.highlight = modelColor(c.background().color());
            QString text = fragment.text();
            text.replace(QChar::LineSeparator, QLatin1Char('\n'));
            text.replace(QChar::Nbsp, QChar(0xA0));
            p.append(text.toStdString(), f);
        }
        model.paragraphs.push_back(std::move(p));
    }
    return model;
}

}  // namespace kv

#include "viewer/RtfTextDocument.h"

#include <QTextBlock>
#include <QTextCursor>

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

}  // namespace

void fillTextDocument(QTextDocument& target, const rtf::Document& model) {
    target.clear();
    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    for (std::size_t i = 0; i < model.paragraphs.size(); ++i) {
        const rtf::Paragraph& p = model.paragraphs[i];
        if (i == 0)
            cursor.setBlockFormat(blockFormat(p));
        else
            cursor.insertBlock(blockFormat(p));
        for (const rtf::Run& run : p.runs) {
            QString text = QString::fromStdString(run.text);
            // A line break inside a paragraph is the document's line separator.
            text.replace(QLatin1Char('\n'), QChar::LineSeparator);
            cursor.insertText(text, charFormat(run.format));
        }
    }
    cursor.endEditBlock();
}

rtf::Document modelOfTextDocument(const QTextDocument& source) {
    rtf::Document model;
    const QFont base = source.defaultFont();
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        rtf::Paragraph p;
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

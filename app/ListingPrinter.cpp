#include "app/ListingPrinter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include "app/CatalogModel.h"
#include "util/Error.h"
#include "util/PrintLayout.h"

namespace kv {
namespace {

QFont layoutFont(int points, bool italic = false, bool bold = false, bool underline = false) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(points);
    font.setItalic(italic);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

// Draws the text with its top-left corner at (x, y), cut short with an
// ellipsis when it would run into the next column (width > 0).
void drawAt(QPainter& painter, int x, int y, const QString& text, int width = 0,
            Qt::TextElideMode elide = Qt::ElideRight) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QString shown = width > 0 ? metrics.elidedText(text, elide, width) : text;
    painter.drawText(x, y + metrics.ascent(), shown);
}

// Ends the job on every way out, errors included.
class JobScope {
  public:
    explicit JobScope(QPainter& painter) : painter_(painter) {}
    ~JobScope() {
        if (painter_.isActive()) painter_.end();
    }
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

  private:
    QPainter& painter_;
};

}  // namespace

int ListingPrinter::print(QPrinter& printer, const Catalog& catalog,
                          const std::vector<std::size_t>& rows) const {
    printer.setDocName(QStringLiteral("Impression de Korvelt"));
    printer.setPageOrientation(QPageLayout::Portrait);

    QPainter painter;
    if (!painter.begin(&printer)) throw Error("Impossible de lancer l'impression");
    JobScope job(painter);
    const PrinterUnits u(printer.width(), printer.widthMM(), printer.height(), printer.heightMM());
    const int gap = u.x(6) - u.x(5);  // one millimetre between columns

    int page = 1;
    auto heading = [&](bool first) {
        painter.setFont(layoutFont(8, true));
        drawAt(painter, u.x(5), u.y(10), QStringLiteral("Page n°: %1").arg(page));
        drawAt(painter, u.x(185), u.y(10), date_);
        painter.setFont(layoutFont(14, false, true, true));
        const QString title =
            first ? QStringLiteral("Impression des fichiers de l'archive - ")
                  : QStringLiteral("Impression des fichiers de l'archive (suite) - ");
        drawAt(painter, first ? u.x(45) : u.x(35), u.y(10), title + archiveName_);
        painter.setFont(layoutFont(9));
    };

    heading(true);
    int line = u.y(20);
    int onPage = 0;
    for (std::size_t index : rows) {
        if (index >= catalog.size()) continue;
        if (onPage == ListingRowsPerPage) {
            line = u.y(20);
            onPage = 0;
            if (!printer.newPage()) throw Error("Erreur lors de l'impression");
            ++page;
            heading(false);
        }
        const CatalogRow& row = catalog[index];
        drawAt(painter, u.x(5), line, QString::fromStdString(row.name), u.x(60) - u.x(5) - gap);
        drawAt(painter, u.x(60), line, QString::fromStdString(row.folder), u.x(175) - u.x(60) - gap,
               Qt::ElideMiddle);
        drawAt(painter, u.x(175), line,
               QString::fromStdString(
                   CatalogModel::cellText(row, CatalogModel::ColModified, separators_)));
        line += u.y(7);
        ++onPage;
    }
    const bool ended = painter.end();
    if (!ended || printer.printerState() == QPrinter::Error)
        throw Error("Erreur lors de l'impression");
    return page;
}

}  // namespace kv

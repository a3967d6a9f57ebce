#pragma once
// ListingPrinter: prints catalog rows as the listing's pages on a printer,
// portrait, in "Times New Roman": on each page the page number and the date
// (8 points, italic), the title (14 points, bold, underlined; "(suite)" from
// the second page on), then at most 64 rows of name, folder and date (9
// points). Positions are the layout's millimetres turned into the printer's
// pixels by PrinterUnits.

#include <QString>
#include <cstddef>
#include <vector>

#include "engine/Catalog.h"
#include "util/Format.h"

class QPrinter;

namespace kv {

class ListingPrinter {
  public:
    // archiveName: the archive's file name without folder; date: today's date
    // as the user's short date format writes it; separators: the user's
    // locale, for the rows' dates.
    ListingPrinter(QString archiveName, QString date, LocaleSeparators separators)
        : archiveName_(std::move(archiveName)),
          date_(std::move(date)),
          separators_(std::move(separators)) {}

    // Prints the rows of catalog whose indices are given, in that order, as
    // one print job titled "Impression de Korvelt". Returns the pages printed.
    // Throws kv::Error when the printer cannot start the job or reports an
    // error; the job is ended first in every case.
    int print(QPrinter& printer, const Catalog& catalog,
              const std::vector<std::size_t>& rows) const;

  private:
    QString archiveName_;
    QString date_;
    LocaleSeparators separators_;
};

}  // namespace kv

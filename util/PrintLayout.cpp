#include "util/PrintLayout.h"

#include <algorithm>

namespace kv {

int listingPages(std::size_t rows) {
    return static_cast<int>((rows + ListingRowsPerPage - 1) / ListingRowsPerPage);
}

PrinterUnits::PrinterUnits(int widthPixels, int widthMm, int heightPixels, int heightMm)
    : across_(widthPixels / std::max(1, widthMm / 10)),
      down_(heightPixels / std::max(1, heightMm / 10)) {}

}  // namespace kv
